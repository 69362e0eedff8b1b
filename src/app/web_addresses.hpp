// The product's web addresses, all derived from one build setting so that a
// packager moves them together.
#pragma once

#include <string>
#include <string_view>

#ifndef TILEWISE_WEB_ADDRESS
#define TILEWISE_WEB_ADDRESS "https://tilewise.example.org"
#endif

namespace tilewise::web {

inline std::string base()
{
    return TILEWISE_WEB_ADDRESS;
}

inline std::string below(std::string_view path)
{
    return base().append(path);
}

inline std::string downloadPage()
{
    return below("/download");
}
inline std::string releasesPage()
{
    return below("/releases");
}
inline std::string reviewPage()
{
    return below("/review");
}
inline std::string website()
{
    return base();
}
inline std::string privacyPage()
{
    return below("/privacy");
}
inline std::string sharePage()
{
    return base();
}

// The host of the base address: "tilewise.example.org".
inline std::string host()
{
    std::string_view b = TILEWISE_WEB_ADDRESS;
    if (auto scheme = b.find("://"); scheme != std::string_view::npos)
        b.remove_prefix(scheme + 3);
    return std::string(b.substr(0, b.find_first_of("/:?#")));
}

inline std::string feedbackEmail()
{
    return std::string("feedback@").append(host());
}

inline std::string feedbackAddress()
{
    return std::string("mailto:").append(feedbackEmail());
}

} // namespace tilewise::web
