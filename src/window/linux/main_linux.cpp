// SPDX-License-Identifier: MIT
#include "form1_linux.h"

#include <QApplication>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TARVO"));
    QApplication::setApplicationVersion(QStringLiteral(TARVO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.tarvo.tarvo"));
    tarvo::on_linux::Form1 form;
    form.show();
    form.setFocus();
    return app.exec();
}
