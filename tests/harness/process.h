// SPDX-License-Identifier: MIT
// The harness's own child processes: each dies with the test process, however
// that ends, and a short command is run to its end in one call.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <sys/prctl.h>
#include <sys/types.h>

#include <csignal>

namespace tarvo::testing {

// A child process that is killed when the test process ends, however it ends.
inline void StartChild(QProcess &p, const QString &program, const QStringList &args) {
    p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    p.start(program, args);
}

// Signals a child while it runs. Once it has ended, or if it never started,
// QProcess gives its id as 0, and kill(0, ...) would signal the whole process
// group: the test itself, ctest and whatever started them.
inline void SignalChild(const QProcess &p, int sig) {
    if (p.state() != QProcess::NotRunning && p.processId() > 0) ::kill(pid_t(p.processId()), sig);
}

// Runs `program` with `args` in `env` until it ends, or kills it after `ms`.
// Its exit code, or -1 where it did not end by itself; what it wrote to its
// standard output goes to `output`, if given (its errors are dropped).
inline int Run(const QString &program, const QStringList &args, const QProcessEnvironment &env, int ms = 10000,
               QByteArray *output = nullptr) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardErrorFile(QProcess::nullDevice());
    if (!output) p.setStandardOutputFile(QProcess::nullDevice());
    StartChild(p, program, args);
    if (!p.waitForFinished(ms)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (output) *output = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace tarvo::testing
