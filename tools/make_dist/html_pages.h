// The suite's documentation: small HTML 3.2 pages in Windows-1252 that link each other in
// reading order (back, contents, forward) through the navigation images.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace make_dist {

inline constexpr std::string_view kContentsPage = "Start.htm";
inline constexpr std::string_view kBackImage = "Back.gif";
inline constexpr std::string_view kForwardImage = "Fwd.gif";
inline constexpr std::string_view kContentsImage = "Contents.gif";

// The page named name of the set pages (file names, in reading order). The contents page
// lists all others; every other page links to its neighbours and to the contents.
std::string HtmlPage(std::string_view name, std::span<const std::string_view> pages);

// The page's title: "Inhalt" for the contents page, "Über diese Hilfe" for the about page,
// a numbered chapter title for names like "b_a_a.htm" (2.1.1).
std::string PageTitle(std::string_view name);

} // namespace make_dist
