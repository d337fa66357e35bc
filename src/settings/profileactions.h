#pragma once
// The File menu's work with reader profiles: save what the reader holds,
// compare it with a file, apply a file with a Yes/No first and a read-back of
// each setting after. The sequence is the profile logic's (profile.h); this
// class asks the user (Dialogs) and shows the outcome.

#include "pages/pagecontext.h"
#include "settings/profile.h"

namespace kv350::settings {

class CommonPage;

class ProfileActions {
public:
    ProfileActions(PageContext &context, CommonPage &commonPage) : m_context(context), m_common(commonPage) {}

    void saveReaderSettings();
    void applySettingsFile();
    void compareWithSettingsFile();

private:
    // The reader identified (a connection made when there is none); else said so.
    bool readerReady();
    // File chosen, read, checked against the reader and compared with what it
    // holds; nothing when any step failed (and the user was told).
    std::optional<std::vector<SettingChange>> compareFile();
    QString cellText(const ParameterInfo &info, const ParameterValue &value) const;
    QString outcomeText(SettingOutcome outcome) const;
    // The Common page's controls from what the reader holds now.
    void refreshCommonPage();

    PageContext &m_context;
    CommonPage &m_common;
};

}  // namespace kv350::settings
