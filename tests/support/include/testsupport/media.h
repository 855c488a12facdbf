// Small media files made at test time with ffmpeg (installed by the set-up script).
#pragma once

#include <string>

namespace testsupport {

// Writes a short video with a test picture and a sine tone (container chosen by the
// extension of `path`, e.g. ".mp4", ".mkv"). Every video made is a file of its own (a unique
// comment is written into it), so its torrent is never one that another test run seeds.
// True when the file was made.
bool MakeTestVideo(const std::string& path, double seconds = 2.0, int width = 320,
                   int height = 240);

// Writes `size` bytes of deterministic pseudo-random data (for torrent payloads).
bool MakeRandomFile(const std::string& path, long long size, unsigned seed = 1);

}  // namespace testsupport
