// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QDialog>
#include <QList>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kovrel {

class TFloatEdit;

// "Подключение": the server (host name or IPv4 address, port, whether to encrypt), the nick, the spare nick
// and the greeting and farewell messages of the section "Client" of the settings. The main window creates it
// once and shows it as often as needed: the fields are loaded from the settings at creation only and
// otherwise keep what they held when the dialog last closed. Nothing is stored unless every field is valid;
// then all of them are stored and the dialog closes accepted.
class TConnectDialog : public QDialog
{
    Q_OBJECT

public:
    // Loads the fields from the settings; a value that cannot be read is reported and shows its default.
    explicit TConnectDialog(QWidget* parent = nullptr);

    // Shows the dialog modally with the focus in NickName; true when the values were stored.
    bool ExecuteConnectDialog();

    // The main window relabels it "Применить" when the dialog only edits the settings.
    QPushButton* connectButton() const { return Button1; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A widget shown in bold while one of `fields` has the focus.
    struct FocusHighlight
    {
        QWidget* shown;
        QList<QWidget*> fields;
    };

    void createControls();
    QGroupBox* createMessagesGroup();
    QGroupBox* createServerGroup();
    QLayout* createAddressRow();
    QLayout* createPortRow();
    void switchDefaultPort(bool useTls);
    void enablePassword(bool useTls);
    QString serverName() const;
    void loadPassword();
    void storePassword();
    void arrangeControls();
    void setTabOrder();
    void watchFocus();
    void reserveBoldWidths();
    void FormCreate();
    void splitAddress(const QString& address);
    std::optional<int> portNumber() const;
    QString joinedAddress() const;
    void Button1Click();
    bool checkFields();
    bool storeFields();
    void refuse(QWidget* field, const QString& message);
    void showMessage(const QString& message);
    void updateFocusHighlight();

    QLineEdit* NickName;
    QLineEdit* AnotherNick;
    QLineEdit* Password;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QPushButton* Button1;
    QPushButton* Button2;
    QLineEdit* HostName;
    QLineEdit* PortNumber;
    QCheckBox* UseTLS;
    TFloatEdit* Adr1;
    TFloatEdit* Adr2;
    TFloatEdit* Adr3;
    TFloatEdit* Adr4;
    QLineEdit* AddressName;

    QLabel* m_nickLabel;
    QLabel* m_anotherNickLabel;
    QLabel* m_passwordLabel;
    QLabel* m_greetingLabel;
    QLabel* m_farewellLabel;
    QLabel* m_hostLabel;
    QLabel* m_portLabel;
    QLabel* m_addressLabel;
    QList<FocusHighlight> m_focusHighlights;
};

} // namespace kovrel
