// How the engine's peer links are set up: a session extension that lets every TCP link to a
// peer send its small messages at once and acknowledge each block as it comes.
#pragma once

#include <libtorrent/extensions.hpp>
#include <memory>

namespace kvbt {

// Added to the session before any torrent. Runs on libtorrent's network thread.
std::shared_ptr<lt::plugin> MakePeerLinkPlugin();

}  // namespace kvbt
