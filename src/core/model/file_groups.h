// What kind of file a name is, by its extension: it decides what opens the file when it is
// viewed (the picture viewer, one of the players, the page viewer, or the text viewer).
// Extensions compare without regard to ASCII letter case.
#pragma once

#include <string_view>

namespace corvane {

enum class TFileGroup {
  Picture,   // the picture viewer's formats
  WaveMidi,  // wave and MIDI sounds
  Video,     // played by the desktop's media player
  MpegAudio, // MPEG audio layers 2 and 3
  Tracker,   // tracker modules, packed ones too
  WebPage,   // pages for the page viewer
  Other,     // everything else: the text viewer
};

// The group of an extension given without its dot ("bmp", "MP3").
TFileGroup FileGroupOfExt(std::string_view ext);

// The extension of the last name of a path (after the last "\" or "/"), without its dot: the
// text after the last dot, or "" when the name has none.
std::string_view ExtOfPath(std::string_view path);

} // namespace corvane
