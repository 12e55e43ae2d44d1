#include "platform/AudioOutput.h"

#include <dlfcn.h>
#include <memory>
#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <type_traits>

namespace wakeward {
namespace {

// The sound library brings a dozen codec libraries with it. It is loaded the first time a rule
// asks what is playing, so an instance that never asks carries none of them.
struct Pulse {
    decltype(&pa_mainloop_new) mainloopNew;
    decltype(&pa_mainloop_free) mainloopFree;
    decltype(&pa_mainloop_get_api) mainloopGetApi;
    decltype(&pa_mainloop_prepare) mainloopPrepare;
    decltype(&pa_mainloop_poll) mainloopPoll;
    decltype(&pa_mainloop_dispatch) mainloopDispatch;
    decltype(&pa_context_new) contextNew;
    decltype(&pa_context_connect) contextConnect;
    decltype(&pa_context_disconnect) contextDisconnect;
    decltype(&pa_context_unref) contextUnref;
    decltype(&pa_context_set_state_callback) contextSetStateCallback;
    decltype(&pa_context_get_state) contextGetState;
    decltype(&pa_context_get_server_info) contextGetServerInfo;
    decltype(&pa_context_get_sink_info_by_name) contextGetSinkInfoByName;
    decltype(&pa_operation_unref) operationUnref;
};

const Pulse* pulse() {
    static const std::optional<Pulse> loaded = []() -> std::optional<Pulse> {
        void* library = dlopen("libpulse.so.0", RTLD_LAZY | RTLD_LOCAL);
        if (library == nullptr)
            return std::nullopt;
        Pulse p{};
        bool complete = true;
        auto bind = [&](auto& function, const char* name) {
            function =
                reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
            complete = complete && function != nullptr;
        };
        bind(p.mainloopNew, "pa_mainloop_new");
        bind(p.mainloopFree, "pa_mainloop_free");
        bind(p.mainloopGetApi, "pa_mainloop_get_api");
        bind(p.mainloopPrepare, "pa_mainloop_prepare");
        bind(p.mainloopPoll, "pa_mainloop_poll");
        bind(p.mainloopDispatch, "pa_mainloop_dispatch");
        bind(p.contextNew, "pa_context_new");
        bind(p.contextConnect, "pa_context_connect");
        bind(p.contextDisconnect, "pa_context_disconnect");
        bind(p.contextUnref, "pa_context_unref");
        bind(p.contextSetStateCallback, "pa_context_set_state_callback");
        bind(p.contextGetState, "pa_context_get_state");
        bind(p.contextGetServerInfo, "pa_context_get_server_info");
        bind(p.contextGetSinkInfoByName, "pa_context_get_sink_info_by_name");
        bind(p.operationUnref, "pa_operation_unref");
        if (!complete) {
            dlclose(library);
            return std::nullopt;
        }
        return p;
    }();
    return loaded ? &*loaded : nullptr;
}

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
        pulse()->contextGetSinkInfoByName(context, query->defaultSink.c_str(), onSinkInfo, query);
    if (op == nullptr)
        query->done = true;
    else
        pulse()->operationUnref(op);
}

void onState(pa_context* context, void* userdata) {
    auto* query = static_cast<Query*>(userdata);
    switch (pulse()->contextGetState(context)) {
    case PA_CONTEXT_READY: {
        pa_operation* op = pulse()->contextGetServerInfo(context, onServerInfo, query);
        if (op == nullptr)
            query->done = true;
        else
            pulse()->operationUnref(op);
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
    void operator()(pa_mainloop* loop) const { pulse()->mainloopFree(loop); }
};
struct ContextDeleter {
    void operator()(pa_context* context) const {
        pulse()->contextSetStateCallback(context, nullptr, nullptr);
        pulse()->contextDisconnect(context);
        pulse()->contextUnref(context);
    }
};

} // namespace

std::optional<std::string> AudioOutput::defaultSinkDescription(std::chrono::milliseconds deadline) {
    using clock = std::chrono::steady_clock;
    const auto end = clock::now() + deadline;

    // A private loop iterated here keeps the query on the calling thread and bounded by the
    // deadline.
    const Pulse* api = pulse();
    if (api == nullptr)
        return std::nullopt;
    std::unique_ptr<pa_mainloop, MainloopDeleter> loop(api->mainloopNew());
    if (!loop)
        return std::nullopt;
    std::unique_ptr<pa_context, ContextDeleter> context(
        api->contextNew(api->mainloopGetApi(loop.get()), "Wakeward"));
    if (!context)
        return std::nullopt;

    Query query;
    pulse()->contextSetStateCallback(context.get(), onState, &query);
    if (api->contextConnect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return std::nullopt;

    while (!query.done) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(end - clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        if (api->mainloopPrepare(loop.get(), static_cast<int>(left.count())) < 0 ||
            api->mainloopPoll(loop.get()) < 0 || api->mainloopDispatch(loop.get()) < 0)
            return std::nullopt;
    }
    return query.description;
}

} // namespace wakeward
