#include "proxy_command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(ProxyCommandLine, TakesSwitchesInAnyCaseAndTheLastOfEachKind) {
    const struct {
        std::vector<std::string> arguments;
        std::int32_t window;
        std::string url;
    } cases[] = {
        {{"-WIN=12abc"}, 12, ""},
        {{"-win=5", "-Win=7"}, 7, ""},
        {{"-win=-3"}, -3, ""},
        {{"-win= 4"}, 4, ""},
        {{"-win=+9x1"}, 9, ""},
        {{"-win=abc"}, 0, ""},
        {{"-win=99999999999"}, 2147483647, ""},
        {{"-win"}, 0, ""},
        {{"-winx=1", "win=2", "/win=3"}, 0, ""},
        {{"-url=http://a b/ -win=9", "-win=4"}, 4, "http://a b/ -win=9"},
        {{"-URL=first", "other", "-uRl=магнит:?x"}, 0, "магнит:?x"},
        {{"-url="}, 0, ""},
        {{}, 0, ""},
    };
    for (const auto& c : cases) {
        const ProxyCommandLine line = ParseProxyCommandLine(c.arguments);
        const std::string shown = c.arguments.empty() ? "<none>" : c.arguments.front();
        EXPECT_EQ(line.targetWindow, c.window) << shown;
        EXPECT_EQ(line.url, c.url) << shown;
    }
}

}  // namespace
