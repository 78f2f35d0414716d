#pragma once

#include "common/Control.h"
#include "link/LinkSettings.h"

#include <QList>
#include <QObject>
#include <array>
#include <optional>

class ProgramFolder;

// The connection page as the operator fills it in: the link it describes, its option
// buttons, and the engineering controls that come with a link.
class ConnectionPage : public QObject
{
    Q_OBJECT
public:
    explicit ConnectionPage(const ProgramFolder &folder, QObject *parent = nullptr);

    Control serialOption, tcpClientOption, tcpServerOption;
    Control serialPortField, serialSettingsField, hostField, portField, unitAddressField;
    Control okButton, saveButton;
    Control preEventField, postEventField; // seconds an event record keeps around its trigger
    Control recordModeBox;
    Control anyHostNote; // shown while no allow-list guards the server link
    Control autoRunBox, voiceBox;
    std::array<Control, 13> voiceFileFields;

    // The link the page describes; `current` gives what it does not show (Record mode, the
    // server link's port).
    LinkSettings settingsShown(const LinkSettings &current) const;
    // The slave address typed; none when it is no number from 0 to 255.
    std::optional<quint8> unitAddress() const;
    // Selects the link option; the server option becomes selectable when chosen this way.
    void selectLinkKind(LinkKind kind);
    // The server option in Engineer mode (it stays selectable while chosen).
    void showEngineeringControls(bool shown);

signals:
    // An option or a field of the link changed.
    void edited();

private:
    const ProgramFolder &folder_;
};
