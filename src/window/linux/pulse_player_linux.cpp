// SPDX-License-Identifier: MIT
#include "pulse_player_linux.h"

#include "library_linux.h"

#include "formats/wav_image.h"

#include <pulse/pulseaudio.h>

#include <sys/eventfd.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tarvo::on_linux {

namespace {

// The PulseAudio client library, opened by the player's own thread once the
// game has started rather than by the system's loader before it: the library
// and what it brings (the sound-file codecs among them) take a few
// milliseconds to load, which the game's first frame does not wait for.
#define TARVO_PULSE_FUNCTIONS(F)                                                                                   \
    F(pa_context_connect) F(pa_context_disconnect) F(pa_context_get_state) F(pa_context_new_with_proplist)         \
    F(pa_context_set_state_callback) F(pa_context_unref) F(pa_gettimeofday) F(pa_operation_cancel)                 \
    F(pa_operation_unref) F(pa_proplist_free) F(pa_proplist_new) F(pa_proplist_sets) F(pa_stream_connect_playback) \
    F(pa_stream_cork) F(pa_stream_disconnect) F(pa_stream_drain) F(pa_stream_get_state)                            \
    F(pa_stream_new_with_proplist) F(pa_stream_set_state_callback) F(pa_stream_set_write_callback)                 \
    F(pa_stream_unref) F(pa_stream_write) F(pa_threaded_mainloop_free) F(pa_threaded_mainloop_get_api)             \
    F(pa_threaded_mainloop_new) F(pa_threaded_mainloop_start) F(pa_threaded_mainloop_stop) F(pa_timeval_add)       \
    F(pa_usec_to_bytes)

struct Pulse {
    TARVO_PULSE_FUNCTIONS(TARVO_LIBRARY_FUNCTION)
};

// The library's functions, or nullptr where it cannot be had (the game then
// plays on in silence).
const Pulse *OpenPulse() {
    return OpenLibrary<Pulse>("libpulse.so.0", [](Pulse &table, auto find) { TARVO_PULSE_FUNCTIONS(TARVO_FIND_FUNCTION) });
}

// Who is playing, for the desktop's volume mixer.
void DescribeTheGame(const Pulse &pa, pa_proplist *p) {
    pa.pa_proplist_sets(p, PA_PROP_APPLICATION_NAME, "TARVO");
    pa.pa_proplist_sets(p, PA_PROP_APPLICATION_ID, "io.tarvo.tarvo");
    pa.pa_proplist_sets(p, PA_PROP_APPLICATION_ICON_NAME, "tarvo");
}

// A connection that is neither made nor refused by then is given up (a
// server that hangs while it lets us in); the next sound tries afresh.
constexpr int kConnectingMs = 3000;
// A sound that cannot start by then is dropped rather than heard late: one
// waiting for the connection, or whose stream the server has not set up (a
// server that hangs, then comes back).
constexpr int kStartMs = 1500;

} // namespace

struct PulsePlayer::Loop {
    // One sound, as the server will get it: signed 16-bit samples.
    struct Sound {
        std::uint64_t id = 0;
        pa_sample_spec format{};
        std::vector<std::int16_t> samples; // empty: only stop
    };

    // Made on the game's thread, before anything else: the hand-over.
    int wakeFd = -1;
    std::mutex handover;
    bool pending = false;
    bool silent = false; // no library, or no main loop: every sound ends at once
    Sound request;
    std::uint64_t lastRequested = 0;
    std::uint64_t lastEnded = 0;

    // The thread that opens the library and starts the main loop; joined
    // before anything below is torn down.
    std::thread starter;
    const Pulse *pa = nullptr;
    pa_threaded_mainloop *mainloop = nullptr;
    pa_mainloop_api *api = nullptr;
    pa_io_event *wakeEvent = nullptr;

    // Owned by the main-loop thread.
    pa_context *context = nullptr;
    pa_time_event *patience = nullptr; // gives up on a connection that hangs
    pa_stream *stream = nullptr;
    pa_operation *drain = nullptr;
    pa_time_event *startDeadline = nullptr;
    // Streams given up on before the server had set them up: each is closed
    // as soon as the server answers for it, or goes with the connection.
    std::vector<pa_stream *> leaving;
    Sound current;
    bool waiting = false;    // current waits for the connection
    std::size_t written = 0; // bytes of current handed to the stream

    Loop() {
        wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        silent = wakeFd < 0; // before any other thread exists
    }

    // Starts the starter thread, once; on the game's thread, which alone
    // touches what this reads (`silent` is the starter's to write).
    void prepare() {
        if (wakeFd >= 0 && !starter.joinable()) starter = std::thread([this] { start(); });
    }

    ~Loop() {
        if (starter.joinable()) starter.join();
        if (mainloop) {
            pa->pa_threaded_mainloop_stop(mainloop); // the thread has ended after this
            releaseAll();
            if (wakeEvent) api->io_free(wakeEvent);
            pa->pa_threaded_mainloop_free(mainloop);
        }
        if (wakeFd >= 0) ::close(wakeFd);
    }

    // On the starter thread: the library, the main loop, and the first
    // connection, made at once so that the first sound finds it ready.
    // Anything handed over meanwhile waits in the hand-over.
    void start() {
        pa = OpenPulse();
        if (pa) mainloop = pa->pa_threaded_mainloop_new();
        if (mainloop) {
            api = pa->pa_threaded_mainloop_get_api(mainloop);
            wakeEvent = api->io_new(api, wakeFd, PA_IO_EVENT_INPUT, &Loop::onWake, this);
            connect();
            if (pa->pa_threaded_mainloop_start(mainloop) >= 0) return;
            releaseAll();
            api->io_free(wakeEvent);
            wakeEvent = nullptr;
            pa->pa_threaded_mainloop_free(mainloop);
            mainloop = nullptr;
        }
        std::lock_guard<std::mutex> lock(handover);
        silent = true;
        pending = false;
        lastEnded = lastRequested;
    }

    // --- the game's thread ---

    void hand(Sound sound) {
        prepare();
        {
            std::lock_guard<std::mutex> lock(handover);
            if (silent) return;
            sound.id = ++lastRequested;
            if (sound.samples.empty()) lastEnded = sound.id;
            request = std::move(sound);
            pending = true;
        }
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
    }

    bool playing() {
        std::lock_guard<std::mutex> lock(handover);
        return lastEnded != lastRequested;
    }

    // --- the main-loop thread ---

    static void onWake(pa_mainloop_api *, pa_io_event *, int fd, pa_io_event_flags_t, void *self) {
        std::uint64_t count;
        while (::read(fd, &count, sizeof count) > 0) {}
        static_cast<Loop *>(self)->take();
    }

    void take() {
        Sound sound;
        {
            std::lock_guard<std::mutex> lock(handover);
            if (!pending) return;
            sound = std::move(request);
            pending = false;
        }
        releaseStream(); // cut off the sound still playing, at once
        if (sound.samples.empty()) return;
        current = std::move(sound);
        setTimer(startDeadline, kStartMs, &Loop::onStartTooLate);
        // No connection: this sound asks for one (there is no polling for a
        // server while nothing is to be heard), and waits for it.
        if (!context) connect();
        if (context && pa->pa_context_get_state(context) == PA_CONTEXT_READY) startStream();
        else if (context) waiting = true;
        else endStream();
    }

    void startStream() {
        waiting = false;
        pa_proplist *props = pa->pa_proplist_new();
        DescribeTheGame(*pa, props);
        pa->pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "game");
        pa->pa_proplist_sets(props, PA_PROP_MEDIA_NAME, "TARVO sound");
        stream = pa->pa_stream_new_with_proplist(context, "TARVO sound", &current.format, nullptr, props);
        pa->pa_proplist_free(props);
        if (!stream) { endStream(); return; }
        written = 0;
        pa->pa_stream_set_state_callback(stream, &Loop::onStreamState, this);
        pa->pa_stream_set_write_callback(stream, &Loop::onWritable, this);
        // A short target latency, so that a sound starts at once; a buffer
        // that holds the whole sound, which is written in one go before the
        // stream starts (it is corked until then). Nothing is left to write
        // while it plays, so a player starved of the processor (a slow board,
        // a busy machine) never lets the server run dry in the middle of a
        // sound: the gaps that refilling 100 ms at a time left there.
        const std::size_t total = current.samples.size() * sizeof(std::int16_t);
        pa_buffer_attr attr;
        attr.maxlength = std::uint32_t(std::max<std::size_t>(total, pa->pa_usec_to_bytes(PA_USEC_PER_SEC, &current.format)));
        attr.tlength = std::uint32_t(pa->pa_usec_to_bytes(100 * PA_USEC_PER_MSEC, &current.format));
        attr.prebuf = std::uint32_t(-1);
        attr.minreq = std::uint32_t(-1);
        attr.fragsize = std::uint32_t(-1);
        if (pa->pa_stream_connect_playback(stream, nullptr, &attr, PA_STREAM_START_CORKED, nullptr, nullptr) < 0) endStream();
    }

    static void onStartTooLate(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self) {
        auto *loop = static_cast<Loop *>(self);
        loop->clearTimer(loop->startDeadline);
        if (loop->waiting || (loop->stream && loop->pa->pa_stream_get_state(loop->stream) != PA_STREAM_READY))
            loop->endStream();
    }

    void ended(std::uint64_t id) {
        std::lock_guard<std::mutex> lock(handover);
        if (lastEnded < id) lastEnded = id;
    }

    static void onWritable(pa_stream *s, std::size_t bytes, void *self) {
        auto *loop = static_cast<Loop *>(self);
        if (s == loop->stream) loop->feed(bytes);
    }

    void feed(std::size_t bytes) {
        const std::size_t total = current.samples.size() * sizeof(std::int16_t);
        // The first time the server asks, the whole sound; then it starts.
        const bool first = written == 0;
        const std::size_t n = first ? total : std::min(bytes, total - written);
        if (n > 0) {
            // Copied by the library: the samples need not outlive this call.
            const auto *from = reinterpret_cast<const std::uint8_t *>(current.samples.data()) + written;
            if (pa->pa_stream_write(stream, from, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) { endStream(); return; }
            written += n;
        }
        if (first) {
            if (pa_operation *o = pa->pa_stream_cork(stream, 0, nullptr, nullptr)) pa->pa_operation_unref(o);
            else { endStream(); return; }
        }
        if (written == total && !drain) {
            // Once the server has played it all, the stream goes: nothing is
            // left running to fill the sink between sounds.
            drain = pa->pa_stream_drain(stream, &Loop::onDrained, this);
            if (!drain) endStream();
        }
    }

    static void onDrained(pa_stream *s, int, void *self) {
        auto *loop = static_cast<Loop *>(self);
        if (s == loop->stream) loop->endStream();
    }

    static void onStreamState(pa_stream *s, void *self) {
        auto *loop = static_cast<Loop *>(self);
        if (s != loop->stream) return;
        const pa_stream_state_t state = loop->pa->pa_stream_get_state(s);
        if (state == PA_STREAM_READY) loop->clearTimer(loop->startDeadline);
        if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) loop->endStream();
    }

    static void onLeavingState(pa_stream *s, void *self) {
        auto *loop = static_cast<Loop *>(self);
        switch (loop->pa->pa_stream_get_state(s)) {
        case PA_STREAM_READY:
            loop->pa->pa_stream_disconnect(s);
            break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED:
            if (auto it = std::find(loop->leaving.begin(), loop->leaving.end(), s); it != loop->leaving.end()) {
                loop->leaving.erase(it);
                loop->pa->pa_stream_set_state_callback(s, nullptr, nullptr);
                loop->pa->pa_stream_unref(s);
            }
            break;
        default:
            break;
        }
    }

    // The current sound is over (played, refused or lost).
    void endStream() {
        const std::uint64_t id = current.id;
        releaseStream();
        ended(id);
    }

    void releaseStream() {
        if (drain) {
            pa->pa_operation_cancel(drain);
            pa->pa_operation_unref(drain);
            drain = nullptr;
        }
        clearTimer(startDeadline);
        if (stream) {
            pa->pa_stream_set_write_callback(stream, nullptr, nullptr);
            if (pa->pa_stream_get_state(stream) == PA_STREAM_CREATING) {
                // It can only be closed once the server has answered.
                pa->pa_stream_set_state_callback(stream, &Loop::onLeavingState, this);
                leaving.push_back(stream);
            } else {
                pa->pa_stream_set_state_callback(stream, nullptr, nullptr);
                if (pa->pa_stream_get_state(stream) == PA_STREAM_READY) pa->pa_stream_disconnect(stream);
                pa->pa_stream_unref(stream);
            }
            stream = nullptr;
        }
        current.samples.clear();
        current.samples.shrink_to_fit();
        waiting = false;
        written = 0;
    }

    // A connection to the server, made on its own: the state callback starts
    // a sound that waits for it, or ends that sound if the server is not there.
    void connect() {
        pa_proplist *props = pa->pa_proplist_new();
        DescribeTheGame(*pa, props);
        context = pa->pa_context_new_with_proplist(api, "TARVO", props);
        pa->pa_proplist_free(props);
        if (!context) return;
        pa->pa_context_set_state_callback(context, &Loop::onContextState, this);
        if (pa->pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            dropContext();
            return;
        }
        setTimer(patience, kConnectingMs, &Loop::onPatienceOver);
    }

    static void onContextState(pa_context *c, void *self) {
        auto *loop = static_cast<Loop *>(self);
        if (c != loop->context) return;
        switch (loop->pa->pa_context_get_state(c)) {
        case PA_CONTEXT_READY:
            loop->clearTimer(loop->patience);
            if (loop->waiting) loop->startStream();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            // No server, or it went away: whatever plays is over, and the
            // next sound connects anew.
            loop->endStream();
            loop->dropContext();
            break;
        default:
            break;
        }
    }

    static void onPatienceOver(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self) {
        auto *loop = static_cast<Loop *>(self);
        loop->clearTimer(loop->patience);
        if (loop->context && loop->pa->pa_context_get_state(loop->context) != PA_CONTEXT_READY) {
            loop->endStream();
            loop->dropContext();
        }
    }

    void dropContext() {
        clearTimer(patience);
        for (pa_stream *s : std::exchange(leaving, {})) {
            pa->pa_stream_set_state_callback(s, nullptr, nullptr);
            pa->pa_stream_unref(s);
        }
        if (!context) return;
        pa->pa_context_set_state_callback(context, nullptr, nullptr);
        pa->pa_context_disconnect(context);
        pa->pa_context_unref(context);
        context = nullptr;
    }

    void releaseAll() {
        releaseStream();
        dropContext();
    }

    void setTimer(pa_time_event *&event, int ms, pa_time_event_cb_t cb) {
        clearTimer(event);
        struct timeval when;
        pa->pa_gettimeofday(&when);
        pa->pa_timeval_add(&when, pa_usec_t(ms) * PA_USEC_PER_MSEC);
        event = api->time_new(api, &when, cb, this);
    }

    void clearTimer(pa_time_event *&event) {
        if (event) api->time_free(event);
        event = nullptr;
    }
};

PulsePlayer::PulsePlayer() : loop_(std::make_unique<Loop>()) {}

PulsePlayer::~PulsePlayer() = default;

void PulsePlayer::prepare() { loop_->prepare(); }

void PulsePlayer::play(const std::uint8_t *image, std::size_t size) {
    Loop::Sound sound;
    // Only rates and channel counts that the server takes come through.
    if (const auto wav = ParseWavImage(image, size); wav && wav->dataSize > 0) {
        sound.format.format = PA_SAMPLE_S16NE;
        sound.format.rate = std::uint32_t(wav->sampleRate);
        sound.format.channels = std::uint8_t(wav->channels);
        // Signed 16-bit throughout, whose zero is silence.
        const std::uint8_t *data = image + wav->dataOffset;
        if (wav->bitsPerSample == 8) {
            sound.samples.resize(wav->dataSize);
            for (std::size_t i = 0; i < wav->dataSize; ++i) sound.samples[i] = std::int16_t((int(data[i]) - 128) * 256);
        } else {
            sound.samples.resize(wav->dataSize / 2);
            for (std::size_t i = 0; i < sound.samples.size(); ++i)
                sound.samples[i] = std::int16_t(data[2 * i] | (data[2 * i + 1] << 8));
        }
        const std::size_t frame = std::size_t(sound.format.channels);
        sound.samples.resize(sound.samples.size() / frame * frame);
    }
    loop_->hand(std::move(sound)); // a sound that cannot be played only stops the one playing
}

void PulsePlayer::stop() { loop_->hand({}); }

bool PulsePlayer::playing() const { return loop_->playing(); }

} // namespace tarvo::on_linux
