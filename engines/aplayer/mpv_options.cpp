#include "mpv_options.h"

#include <sstream>

namespace aplayer {

MpvOptionList BaseMpvOptions() {
    return {
        // Nothing of mpv's own user interface or user configuration.
        {"config", "no"},
        {"terminal", "no"},
        {"load-scripts", "no"},
        {"osc", "no"},
        {"ytdl", "no"},
        {"load-stats-overlay", "no"},
        {"load-osd-console", "no"},
        {"load-auto-profiles", "no"},
        {"input-default-bindings", "no"},
        {"input-builtin-bindings", "no"},
        // The video window reports mouse and keys itself; mpv must leave them to it.
        {"input-vo-keyboard", "no"},
        {"input-cursor", "no"},
        {"cursor-autohide", "no"},
        {"osd-bar", "no"},
        {"resume-playback", "no"},
        {"save-position-on-quit", "no"},
        // One file at a time; at its end mpv goes idle and the engine reports state 0.
        {"idle", "yes"},
        {"keep-open", "no"},
        {"force-window", "no"},
        // Only outputs that draw inside the window they are given: left to itself mpv falls
        // back on outputs (SDL, terminals) that open a window of their own beside the host.
        {"vo", "gpu,gpu-next,vdpau,xv,x11"},
        // The GPU outputs draw through OpenGL on the X window only. Probed further, they try
        // the console's DRM and Vulkan contexts, whose failure closes descriptor 0 though it is
        // not theirs; once stdin is gone that number belongs to something else (an X
        // connection, a file being played), and the program broke at its next use.
        {"gpu-context", "x11egl"},
        {"audio-display", "no"},
        // Network sources: read ahead a bounded span, so a far seek reopens at the target.
        {"cache", "auto"},
        {"cache-secs", "20"},
        {"demuxer-readahead-secs", "5"},
        {"demuxer-max-bytes", "64MiB"},
        {"demuxer-max-back-bytes", "16MiB"},
    };
}

std::optional<MpvOptionList> ParseMpvOptions(const std::string& text) {
    MpvOptionList options;
    std::istringstream in(text);
    std::string item;
    while (in >> item) {
        if (item.rfind("--", 0) == 0) item.erase(0, 2);
        const auto eq = item.find('=');
        if (eq == std::string::npos || eq == 0) return std::nullopt;
        options.emplace_back(item.substr(0, eq), item.substr(eq + 1));
    }
    return options;
}

}  // namespace aplayer
