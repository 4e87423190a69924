// The About box's text, shown through its HTML label; in a header of its own
// so that the renderer's golden files can check the text the box really
// shows.
#pragma once

inline constexpr char kAboutText[] =
    "Quorvel Photos Desktop, Version 2.41, Quorvel <br>"
    "<a href=\"https://www.quorvel.example/\">www.quorvel.example</a><br>"
    "&copy; Quorvel. All rights belong to the maker.";
