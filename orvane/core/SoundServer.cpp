#include "SoundServer.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/volume.h>

#include <chrono>
#include <functional>

namespace orvane {

namespace {

constexpr const char* kDefaultSink = "@DEFAULT_SINK@";

using Clock = std::chrono::steady_clock;

struct Outcome {
    bool done = false;
    bool ok = false;
};

void OnSuccess(pa_context*, int success, void* data) {
    auto* o = static_cast<Outcome*>(data);
    o->done = true;
    o->ok = success != 0;
}

struct SinkShape {
    Outcome outcome;
    uint32_t index = 0;
    uint8_t channels = 0;
    uint32_t volume = 0;  // the loudest channel
};

void OnSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* data) {
    auto* s = static_cast<SinkShape*>(data);
    if (info) {
        s->index = info->index;
        s->channels = info->channel_map.channels;
        s->volume = pa_cvolume_max(&info->volume);
        s->outcome.ok = true;
    }
    if (eol) s->outcome.done = true;
}

}  // namespace

struct SoundServer::Impl {
    pa_mainloop* loop = pa_mainloop_new();
    pa_context* ctx = nullptr;

    ~Impl() {
        Drop();
        if (loop) pa_mainloop_free(loop);
    }

    void Drop() {
        if (!ctx) return;
        pa_context_disconnect(ctx);
        pa_context_unref(ctx);
        ctx = nullptr;
    }

    // Runs the loop until done() holds, the connection breaks or time is up.
    bool Wait(const std::function<bool()>& done) {
        const auto end = Clock::now() + std::chrono::milliseconds(kWaitMs);
        while (!done()) {
            const pa_context_state_t st = pa_context_get_state(ctx);
            if (st == PA_CONTEXT_FAILED || st == PA_CONTEXT_TERMINATED) return false;
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(end - Clock::now());
            if (left.count() <= 0) return false;
            if (pa_mainloop_prepare(loop, static_cast<int>(left.count())) < 0 || pa_mainloop_poll(loop) < 0 ||
                pa_mainloop_dispatch(loop) < 0)
                return false;
        }
        return true;
    }

    // The kept connection, or a new one when it was lost.
    bool Ready() {
        if (!loop) return false;
        if (ctx && pa_context_get_state(ctx) == PA_CONTEXT_READY) return true;
        Drop();
        ctx = pa_context_new(pa_mainloop_get_api(loop), "Tellura");
        if (!ctx || pa_context_connect(ctx, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            Drop();
            return false;
        }
        if (Wait([this] { return pa_context_get_state(ctx) == PA_CONTEXT_READY; })) return true;
        Drop();
        return false;
    }

    // Waits for an operation that reports into outcome.
    bool Finish(pa_operation* op, const Outcome& outcome) {
        if (!op) return false;
        const bool waited = Wait([&outcome] { return outcome.done; });
        if (!waited) pa_operation_cancel(op);
        pa_operation_unref(op);
        return waited && outcome.ok;
    }
};

SoundServer::SoundServer() : impl_(std::make_unique<Impl>()) {}
SoundServer::~SoundServer() = default;

bool SoundServer::SetDefaultMute(bool mute) {
    if (!impl_->Ready()) return false;
    Outcome outcome;
    return impl_->Finish(pa_context_set_sink_mute_by_name(impl_->ctx, kDefaultSink, mute ? 1 : 0, OnSuccess, &outcome),
                         outcome);
}

bool SoundServer::GetDefaultVolume(uint32_t* volume) {
    if (!volume || !impl_->Ready()) return false;
    SinkShape shape;
    if (!impl_->Finish(pa_context_get_sink_info_by_name(impl_->ctx, kDefaultSink, OnSinkInfo, &shape), shape.outcome))
        return false;
    *volume = shape.volume;
    return true;
}

bool SoundServer::SetDefaultVolume(uint32_t volume) {
    if (!impl_->Ready()) return false;
    // The volume needs the sink's channel count.
    SinkShape shape;
    if (!impl_->Finish(pa_context_get_sink_info_by_name(impl_->ctx, kDefaultSink, OnSinkInfo, &shape), shape.outcome) ||
        shape.channels == 0)
        return false;
    pa_cvolume cv;
    pa_cvolume_set(&cv, shape.channels, volume > kFullVolume ? kFullVolume : volume);
    Outcome outcome;
    return impl_->Finish(pa_context_set_sink_volume_by_index(impl_->ctx, shape.index, &cv, OnSuccess, &outcome),
                         outcome);
}

}  // namespace orvane
