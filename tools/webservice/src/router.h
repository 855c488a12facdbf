// Turns one request into its answer: the routes of the player's web-service requests.
//
// Every path may carry the service's base folder "/Orvane" or not. Under it:
//   "?tk=..&url=..&t=json&hd=102"   the page-URL resolve request (token checked)
//   "<name>.<ext>?type=<t>&..."     the file "<name>_<t>.<ext>" when a root holds it, else
//                                   "<name>.<ext>" (so get_adlist.html?type=show answers
//                                   get_adlist_show.html)
//   "<folder>/"                     "<folder>/index.html"
// Text files are templates (see template.h); every answer honours one Range.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "answer.h"
#include "options.h"
#include "site.h"
#include "text.h"

namespace webservice {

class Router {
public:
    Router(const Options& options, int port);

    Answer Route(const Request& request) const;

private:
    using Extras = std::vector<std::pair<std::string, std::string>>;

    Answer RouteFile(const std::string& relative, const QueryItems& query,
                     const Request& request) const;
    Answer RouteResolve(const QueryItems& query, const Request& request) const;
    Answer FileAnswer(const std::string& path, const QueryItems& query, const Extras& extras,
                      const Request& request) const;
    std::optional<std::string> Variable(const std::string& name, const QueryItems& query,
                                        const Extras& extras) const;
    std::optional<std::string> BuiltIn(const std::string& name) const;

    Site site_;
    std::vector<TargetRule> statuses_;
    std::vector<std::pair<std::string, std::string>> variables_;  // built-ins expanded
    int port_;
};

// The content type that goes with a file name's extension.
std::string ContentTypeFor(const std::string& path);

}  // namespace webservice
