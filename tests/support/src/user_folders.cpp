#include "testsupport/user_folders.h"

namespace testsupport {

namespace {

std::string Below(const std::string& folder, const std::string& name) {
    return name.empty() ? folder + "/orvane" : folder + "/orvane/" + name;
}

}  // namespace

ScopedUserFolders::ScopedUserFolders()
    : data_("XDG_DATA_HOME", root_.file("data")),
      config_("XDG_CONFIG_HOME", root_.file("config")),
      cache_("XDG_CACHE_HOME", root_.file("cache")),
      state_("XDG_STATE_HOME", root_.file("state")) {}

std::string ScopedUserFolders::Data(const std::string& name) const {
    return Below(root_.file("data"), name);
}
std::string ScopedUserFolders::Config(const std::string& name) const {
    return Below(root_.file("config"), name);
}
std::string ScopedUserFolders::Cache(const std::string& name) const {
    return Below(root_.file("cache"), name);
}
std::string ScopedUserFolders::State(const std::string& name) const {
    return Below(root_.file("state"), name);
}

}  // namespace testsupport
