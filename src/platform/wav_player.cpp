// SPDX-License-Identifier: MIT
#include "wav_player.h"

#include "wav_image.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <sys/time.h>
#include <cstring>
#include <mutex>
#include <utility>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace tarvo {

namespace {

// Who is playing, for the desktop's volume mixer.
void DescribeTheGame(pa_proplist *p) {
    pa_proplist_sets(p, PA_PROP_APPLICATION_NAME, "TARVO");
    pa_proplist_sets(p, PA_PROP_APPLICATION_ID, "io.tarvo.tarvo");
    pa_proplist_sets(p, PA_PROP_APPLICATION_ICON_NAME, "tarvo");
}

// How long the player waits before it tries a lost or missing server again:
// short at first, so that a server that comes back is heard promptly.
constexpr int kFirstRetryMs = 50;
constexpr int kLongestRetryMs = 400;
// A connection that is neither made nor refused by then is started afresh
// (a server that hangs while it lets us in, or one that came back while the
// client library waited for news of it on the session bus).
constexpr int kConnectingMs = 3000;
// A sound whose stream the server has not set up by then is dropped rather
// than heard late (a server that hangs, then comes back).
constexpr int kStartMs = 1500;

} // namespace

struct WavPlayer::Loop {
    // One sound, as the server will get it: signed 16-bit samples.
    struct Sound {
        std::uint64_t id = 0;
        pa_sample_spec format{};
        std::vector<std::int16_t> samples; // empty: only stop
    };

    pa_threaded_mainloop *mainloop = nullptr;
    pa_mainloop_api *api = nullptr;
    int wakeFd = -1;
    pa_io_event *wakeEvent = nullptr;

    // The hand-over from the game's thread: the latest request wins.
    std::mutex handover;
    bool pending = false;
    Sound request;
    std::uint64_t lastRequested = 0;
    std::uint64_t lastEnded = 0;

    // Owned by the main-loop thread.
    pa_context *context = nullptr;
    pa_time_event *retry = nullptr;   // rebuilds the connection when it fires
    pa_time_event *patience = nullptr; // gives up on a connection that hangs
    int retryMs = kFirstRetryMs;
    pa_stream *stream = nullptr;
    pa_operation *drain = nullptr;
    pa_time_event *startDeadline = nullptr;
    // Streams given up on before the server had set them up: each is closed
    // as soon as the server answers for it, or goes with the connection.
    std::vector<pa_stream *> leaving;
    Sound current;
    std::size_t written = 0; // bytes of current handed to the stream

    Loop() {
        mainloop = pa_threaded_mainloop_new();
        if (!mainloop) return;
        api = pa_threaded_mainloop_get_api(mainloop);
        wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wakeFd < 0) return;
        wakeEvent = api->io_new(api, wakeFd, PA_IO_EVENT_INPUT, &Loop::onWake, this);
        // The first connection is made on the main-loop thread too: reading
        // the client configuration is no work for the game's start-up.
        setTimer(retry, 0, &Loop::onRetry);
        if (pa_threaded_mainloop_start(mainloop) < 0) {
            releaseAll();
            api->io_free(wakeEvent);
            wakeEvent = nullptr;
            pa_threaded_mainloop_free(mainloop);
            mainloop = nullptr;
        }
    }

    ~Loop() {
        if (mainloop) {
            pa_threaded_mainloop_stop(mainloop); // the thread has ended after this
            releaseAll();
            if (wakeEvent) api->io_free(wakeEvent);
            pa_threaded_mainloop_free(mainloop);
        }
        if (wakeFd >= 0) ::close(wakeFd);
    }

    bool running() const { return mainloop && wakeEvent; }

    // --- the game's thread ---

    void hand(Sound sound) {
        if (!running()) return;
        {
            std::lock_guard<std::mutex> lock(handover);
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
        if (!context || pa_context_get_state(context) != PA_CONTEXT_READY) { ended(sound.id); return; }

        pa_proplist *props = pa_proplist_new();
        DescribeTheGame(props);
        pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "game");
        pa_proplist_sets(props, PA_PROP_MEDIA_NAME, "TARVO sound");
        stream = pa_stream_new_with_proplist(context, "TARVO sound", &sound.format, nullptr, props);
        pa_proplist_free(props);
        if (!stream) { ended(sound.id); return; }
        current = std::move(sound);
        written = 0;
        pa_stream_set_state_callback(stream, &Loop::onStreamState, this);
        pa_stream_set_write_callback(stream, &Loop::onWritable, this);
        // A short target latency, so that a sound starts at once; a buffer
        // that holds the whole sound, which is written in one go before the
        // stream starts (it is corked until then). Nothing is left to write
        // while it plays, so a player starved of the processor (a slow board,
        // a busy machine) never lets the server run dry in the middle of a
        // sound: the gaps that refilling 100 ms at a time left there.
        const std::size_t total = current.samples.size() * sizeof(std::int16_t);
        pa_buffer_attr attr;
        attr.maxlength = std::uint32_t(std::max<std::size_t>(total, pa_usec_to_bytes(PA_USEC_PER_SEC, &current.format)));
        attr.tlength = std::uint32_t(pa_usec_to_bytes(100 * PA_USEC_PER_MSEC, &current.format));
        attr.prebuf = std::uint32_t(-1);
        attr.minreq = std::uint32_t(-1);
        attr.fragsize = std::uint32_t(-1);
        if (pa_stream_connect_playback(stream, nullptr, &attr, PA_STREAM_START_CORKED, nullptr, nullptr) < 0) {
            endStream();
            return;
        }
        setTimer(startDeadline, kStartMs, &Loop::onStartTooLate);
    }

    static void onStartTooLate(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self) {
        auto *loop = static_cast<Loop *>(self);
        loop->clearTimer(loop->startDeadline);
        if (loop->stream && pa_stream_get_state(loop->stream) != PA_STREAM_READY) loop->endStream();
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
            if (pa_stream_write(stream, from, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) { endStream(); return; }
            written += n;
        }
        if (first) {
            if (pa_operation *o = pa_stream_cork(stream, 0, nullptr, nullptr)) pa_operation_unref(o);
            else { endStream(); return; }
        }
        if (written == total && !drain) {
            // Once the server has played it all, the stream goes: nothing is
            // left running to fill the sink between sounds.
            drain = pa_stream_drain(stream, &Loop::onDrained, this);
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
        const pa_stream_state_t state = pa_stream_get_state(s);
        if (state == PA_STREAM_READY) loop->clearTimer(loop->startDeadline);
        if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) loop->endStream();
    }

    static void onLeavingState(pa_stream *s, void *self) {
        auto *loop = static_cast<Loop *>(self);
        switch (pa_stream_get_state(s)) {
        case PA_STREAM_READY:
            pa_stream_disconnect(s);
            break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED:
            if (auto it = std::find(loop->leaving.begin(), loop->leaving.end(), s); it != loop->leaving.end()) {
                loop->leaving.erase(it);
                pa_stream_set_state_callback(s, nullptr, nullptr);
                pa_stream_unref(s);
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
            pa_operation_cancel(drain);
            pa_operation_unref(drain);
            drain = nullptr;
        }
        clearTimer(startDeadline);
        if (stream) {
            pa_stream_set_write_callback(stream, nullptr, nullptr);
            if (pa_stream_get_state(stream) == PA_STREAM_CREATING) {
                // It can only be closed once the server has answered.
                pa_stream_set_state_callback(stream, &Loop::onLeavingState, this);
                leaving.push_back(stream);
            } else {
                pa_stream_set_state_callback(stream, nullptr, nullptr);
                if (pa_stream_get_state(stream) == PA_STREAM_READY) pa_stream_disconnect(stream);
                pa_stream_unref(stream);
            }
            stream = nullptr;
        }
        current.samples.clear();
        current.samples.shrink_to_fit();
        written = 0;
    }

    void connect() {
        pa_proplist *props = pa_proplist_new();
        DescribeTheGame(props);
        context = pa_context_new_with_proplist(api, "TARVO", props);
        pa_proplist_free(props);
        if (!context) { retryLater(); return; }
        pa_context_set_state_callback(context, &Loop::onContextState, this);
        if (pa_context_connect(context, nullptr, pa_context_flags_t(PA_CONTEXT_NOFAIL | PA_CONTEXT_NOAUTOSPAWN),
                               nullptr) < 0) {
            retryLater();
            return;
        }
        setTimer(patience, kConnectingMs, &Loop::onPatienceOver);
    }

    static void onContextState(pa_context *c, void *self) {
        auto *loop = static_cast<Loop *>(self);
        if (c != loop->context) return;
        switch (pa_context_get_state(c)) {
        case PA_CONTEXT_READY:
            loop->retryMs = kFirstRetryMs;
            loop->clearTimer(loop->patience);
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            loop->endStream();
            loop->retryLater();
            break;
        default:
            break;
        }
    }

    static void onPatienceOver(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self) {
        auto *loop = static_cast<Loop *>(self);
        loop->clearTimer(loop->patience);
        if (loop->context && pa_context_get_state(loop->context) != PA_CONTEXT_READY) loop->rebuild();
    }

    void retryLater() {
        if (retry) return;
        setTimer(retry, retryMs, &Loop::onRetry);
        retryMs = std::min(retryMs * 2, kLongestRetryMs);
    }

    static void onRetry(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self) {
        auto *loop = static_cast<Loop *>(self);
        loop->clearTimer(loop->retry);
        loop->rebuild();
    }

    void rebuild() {
        endStream();
        dropContext();
        connect();
    }

    void dropContext() {
        clearTimer(patience);
        for (pa_stream *s : std::exchange(leaving, {})) {
            pa_stream_set_state_callback(s, nullptr, nullptr);
            pa_stream_unref(s);
        }
        if (!context) return;
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }

    void releaseAll() {
        releaseStream();
        clearTimer(retry);
        dropContext();
    }

    void setTimer(pa_time_event *&event, int ms, pa_time_event_cb_t cb) {
        clearTimer(event);
        struct timeval when;
        pa_gettimeofday(&when);
        pa_timeval_add(&when, pa_usec_t(ms) * PA_USEC_PER_MSEC);
        event = api->time_new(api, &when, cb, this);
    }

    void clearTimer(pa_time_event *&event) {
        if (event) api->time_free(event);
        event = nullptr;
    }
};

WavPlayer::WavPlayer() : loop_(std::make_unique<Loop>()) {}

WavPlayer::~WavPlayer() = default;

void WavPlayer::play(const std::uint8_t *image, std::size_t size) {
    Loop::Sound sound;
    const auto wav = ParseWavImage(image, size);
    if (wav && wav->dataSize > 0) {
        sound.format.format = PA_SAMPLE_S16NE;
        sound.format.rate = std::uint32_t(wav->sampleRate);
        sound.format.channels = std::uint8_t(wav->channels);
        if (pa_sample_spec_valid(&sound.format)) {
            // Signed 16-bit throughout, whose zero is silence.
            const std::uint8_t *data = image + wav->dataOffset;
            if (wav->bitsPerSample == 8) {
                sound.samples.resize(wav->dataSize);
                for (std::size_t i = 0; i < wav->dataSize; ++i)
                    sound.samples[i] = std::int16_t((int(data[i]) - 128) * 256);
            } else {
                sound.samples.resize(wav->dataSize / 2);
                for (std::size_t i = 0; i < sound.samples.size(); ++i)
                    sound.samples[i] = std::int16_t(data[2 * i] | (data[2 * i + 1] << 8));
            }
            const std::size_t frame = std::size_t(sound.format.channels);
            sound.samples.resize(sound.samples.size() / frame * frame);
        }
    }
    loop_->hand(std::move(sound)); // a sound that cannot be played only stops the one playing
}

void WavPlayer::stop() { loop_->hand({}); }

bool WavPlayer::playing() const { return loop_->playing(); }

} // namespace tarvo
