#pragma once

#include <QString>

namespace ovra::ShellTexts {

// The first-launch welcome alert.
QString welcomeTitle();
QString welcomeMessage(); // four paragraphs, one empty line between each
QString namePlaceholder();
QString requestAccessibility();
QString notNow();

// The alert that edits the user's name.
QString editNameTitle();
QString editNameMessage();
QString save();
QString cancel();

// The about alert; `version` empty or missing shows "?".
QString aboutTitle();
QString aboutMessage(const QString& version);
QString ok();

} // namespace ovra::ShellTexts
