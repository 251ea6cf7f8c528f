#pragma once

#include <QString>
#include <array>
#include <optional>

namespace ovra {

// The actions that have a global shortcut of their own besides the panel's: three run on the
// selection and write the result back in its place, two open the panel with their work running.
// Each has a stable ASCII name, used in the settings keys, on the command line (`--action`) and
// as an org.freedesktop.Application action.
enum class QuickAction { translateReplace, rephraseReplace, reviewReplace, translate, summarize };

inline constexpr std::array<QuickAction, 5> quickActions{
    QuickAction::translateReplace, QuickAction::rephraseReplace, QuickAction::reviewReplace,
    QuickAction::translate, QuickAction::summarize};

namespace QuickActions {
// "translate-replace", "rephrase-replace", "review-replace", "translate", "summarize".
QString name(QuickAction action);
// Exact and case-sensitive, as stored values are parsed.
std::optional<QuickAction> named(const QString& name);
// The interface text key of the action's title ("actions.translate-replace").
QString titleKey(QuickAction action);
// Whether the action writes its result in place of the selection (else the panel shows it).
bool replacesSelection(QuickAction action);
} // namespace QuickActions

} // namespace ovra
