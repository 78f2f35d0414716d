#pragma once

#include "link/LinkSettings.h"

#include <QList>
#include <QObject>
#include <optional>

class Control;
class Form;
class ProgramFolder;

// The connection page as the operator fills it in: the link it describes, its option
// buttons, the engineering controls that come with a link, and the device-writing buttons
// Record mode locks.
class ConnectionPage : public QObject
{
    Q_OBJECT
public:
    ConnectionPage(Form &form, const ProgramFolder &folder, QObject *parent = nullptr);

    // The link the page describes; `current` gives what it does not show (Record mode, the
    // server link's port).
    LinkSettings settingsShown(const LinkSettings &current) const;
    // The slave address typed; none when it is no number from 0 to 255.
    std::optional<quint8> unitAddress() const;
    // Selects the link option; the server option becomes selectable when chosen this way.
    void selectLinkKind(LinkKind kind);
    // Engineer mode's controls, and the server option (which stays selectable while chosen).
    void showEngineeringControls(bool shown);
    void lockForRecordMode(bool recordMode);
    static QList<Control *> recordModeLocks(Form &form);

signals:
    // An option or a field of the link changed.
    void edited();

private:
    Form &form_;
    const ProgramFolder &folder_;
};
