#include "platform/AudioOutput.h"

#include <memory>
#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>

namespace wakeward {
namespace {

struct Query {
    bool done = false;
    std::string defaultSink;
    std::optional<std::string> description;
};

void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
    auto* query = static_cast<Query*>(userdata);
    if (eol != 0 || info == nullptr) {
        query->done = true;
        return;
    }
    if (info->description != nullptr && *info->description != '\0')
        query->description = std::string(info->description);
}

void onServerInfo(pa_context* context, const pa_server_info* info, void* userdata) {
    auto* query = static_cast<Query*>(userdata);
    if (info == nullptr || info->default_sink_name == nullptr || *info->default_sink_name == '\0') {
        query->done = true;
        return;
    }
    query->defaultSink = info->default_sink_name;
    pa_operation* op =
        pa_context_get_sink_info_by_name(context, query->defaultSink.c_str(), onSinkInfo, query);
    if (op == nullptr)
        query->done = true;
    else
        pa_operation_unref(op);
}

void onState(pa_context* context, void* userdata) {
    auto* query = static_cast<Query*>(userdata);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY: {
        pa_operation* op = pa_context_get_server_info(context, onServerInfo, query);
        if (op == nullptr)
            query->done = true;
        else
            pa_operation_unref(op);
        break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        query->done = true;
        break;
    default:
        break;
    }
}

struct MainloopDeleter {
    void operator()(pa_mainloop* loop) const { pa_mainloop_free(loop); }
};
struct ContextDeleter {
    void operator()(pa_context* context) const {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
};

} // namespace

std::optional<std::string> AudioOutput::defaultSinkDescription(std::chrono::milliseconds deadline) {
    using clock = std::chrono::steady_clock;
    const auto end = clock::now() + deadline;

    // A private loop iterated here keeps the query on the calling thread and bounded by the
    // deadline.
    std::unique_ptr<pa_mainloop, MainloopDeleter> loop(pa_mainloop_new());
    if (!loop)
        return std::nullopt;
    std::unique_ptr<pa_context, ContextDeleter> context(
        pa_context_new(pa_mainloop_get_api(loop.get()), "Wakeward"));
    if (!context)
        return std::nullopt;

    Query query;
    pa_context_set_state_callback(context.get(), onState, &query);
    if (pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return std::nullopt;

    while (!query.done) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(end - clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        if (pa_mainloop_prepare(loop.get(), static_cast<int>(left.count())) < 0 ||
            pa_mainloop_poll(loop.get()) < 0 || pa_mainloop_dispatch(loop.get()) < 0)
            return std::nullopt;
    }
    return query.description;
}

} // namespace wakeward
