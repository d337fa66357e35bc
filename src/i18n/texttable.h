#pragma once
// Every language-dependent caption and message as a triplet of texts, plus the
// request samples of the Command page. Texts are UTF-8; the Chinese columns use
// only characters of GB2312 (Simplified) and Big5 (Traditional), so each can be
// drawn with a national font.

#include <span>

namespace kv350::i18n {

struct Triplet {
    const char *english;  // the lookup key
    const char *simplified;
    const char *traditional;
    // Set only where one English text needs two different translations.
    const char *context = nullptr;
};

// The Command page's sample list: the English name (itself a triplet) and the
// request fields it loads, the same in every language.
struct RequestSample {
    const char *name;
    const char *len;
    const char *cmd;
    const char *data;
};

inline constexpr int TripletCount = 157;
inline constexpr int RequestSampleCount = 9;

std::span<const Triplet, TripletCount> textTable();
std::span<const RequestSample, RequestSampleCount> requestSamples();

}  // namespace kv350::i18n
