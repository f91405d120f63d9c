#include "ThemeActions.h"

#include "StyleSheet.h"

#include <QAction>
#include <QActionGroup>
#include <QDebug>
#include <QMenu>

namespace {

struct AccentEntry {
    const char* text;
    const char* hex;
    const char* rgb;
    const char* message; // logged (debug) when the accent is applied
};

const AccentEntry kAccents[] = {
    {"VYK Blue", "#006698", "0, 102, 152", "Standard vyk mode is checked"},
    {"Green", "#64A70B", "100, 167, 11", "Norvatek green vyk mode is checked"},
    {"Orange", "#B78620", "183, 134, 32", "Gray-Orange mode is checked"},
};

const AccentEntry* findAccent(const QString& text)
{
    for (const AccentEntry& entry : kAccents)
        if (text == QLatin1String(entry.text))
            return &entry;
    return nullptr;
}

QList<QAction*> makeGroup(QActionGroup* group, const QStringList& texts)
{
    group->setExclusive(true);
    QList<QAction*> actions;
    for (const QString& text : texts) {
        auto* action = new QAction(text, group);
        action->setCheckable(true);
        actions << action;
    }
    return actions;
}

QString checkedText(const QActionGroup* group)
{
    const QAction* action = group->checkedAction();
    return action ? action->text() : QString();
}

bool checkByText(const QList<QAction*>& actions, const QString& text)
{
    for (QAction* action : actions) {
        if (action->text() == text) {
            action->setChecked(true);
            return true;
        }
    }
    return false;
}

} // namespace

ThemeActions::ThemeActions(QObject* parent)
    : QObject(parent)
    , accentGroup_(new QActionGroup(this))
    , brightnessGroup_(new QActionGroup(this))
{
    QStringList accents;
    for (const AccentEntry& entry : kAccents)
        accents << QLatin1String(entry.text);
    accentActions_ = makeGroup(accentGroup_, accents);
    brightnessActions_ = makeGroup(brightnessGroup_, {QStringLiteral("Dark"), QStringLiteral("Bright")});
    accentActions_.first()->setChecked(true);

    for (const QList<QAction*>* list : {&accentActions_, &brightnessActions_})
        for (QAction* action : *list)
            connect(action, &QAction::triggered, this, &ThemeActions::styleActionTriggered);
}

ThemeActions::Accent ThemeActions::accentFor(const QString& text)
{
    const AccentEntry* entry = findAccent(text);
    if (!entry)
        entry = &kAccents[0];
    return {QLatin1String(entry->hex), QLatin1String(entry->rgb)};
}

void ThemeActions::addAccentActionsTo(QMenu* menu) const
{
    menu->addActions(accentActions_);
}

QString ThemeActions::checkedAccent() const
{
    return checkedText(accentGroup_);
}

QString ThemeActions::checkedBrightness() const
{
    return checkedText(brightnessGroup_);
}

bool ThemeActions::checkAccent(const QString& text)
{
    return checkByText(accentActions_, text);
}

bool ThemeActions::checkBrightness(const QString& text)
{
    return checkByText(brightnessActions_, text);
}

void ThemeActions::onStyleChanged()
{
    qDebug() << "Entered onStyleChanged";
    const QString accent = checkedAccent();
    const QString brightness = checkedBrightness();
    if (const AccentEntry* entry = findAccent(accent))
        qDebug() << entry->message;
    const Accent colours = accentFor(accent);
    applyStyleSheet(colours.hex, colours.rgb, brightness);
}
