#pragma once
// The settings dialog (TConfigDialog): the player, the mail servers, the
// documents and programs, the language, the board's look and the Rebel
// engine group. It shows what the settings file holds when it opens and
// writes its fields (and the password file) on OK.
#include <QColor>
#include <QDialog>

#include "shell/settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quorel {
class TShellSession;
}

namespace quorel::ui {

class TConfigDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TConfigDialog(TShellSession& session, QWidget* parent = nullptr);

    // FormActivate: fills every field from the settings file and the
    // password file.
    void FormActivate();
    // OK: the hash rule, then writes the settings and the password and
    // takes them over for the run; closes on success.
    void OKBtnClick();

    // The settings as the fields hold them now (over the values read).
    TSettings FieldValues() const;
    QString Password() const;
    QString SmtpPassword() const;
    // True when OK changed the language (the message has been shown).
    bool LanguageChanged() const { return languageChanged_; }

    void CountryButtonClick();
    void SignatureButtonClick();
    void PegasusButtonClick();
    void EngineButtonClick();
    void CertificateButtonClick();
    // A provider chosen from the list: its servers, security and sign-in
    // fill the fields ("Other" leaves them), and its hint is shown.
    void ProviderChosen(int index);
    // The protocol changed: a provider's incoming server follows it.
    void ProtocolChosen(int index);
    void ChooseColour(int which); // 0 light, 1 dark, 2 background
    void ChooseBitmap(bool light);

    QString Msg(const QString& key) const;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void ShowColours();
    void ShowProviderHint();
    void ShowMailFields(const TSettings& s);
    void UpdateSquareMode();

    TShellSession& session_;
    TSettings loaded_;
    QColor colours_[3];
    bool languageChanged_ = false;
    QString formCaption_;

    QLineEdit *userName_, *email_, *smtp_, *pop3_, *pop3User_, *password_, *country_, *signature_,
        *iecg_, *pegasus_, *lightBitmap_, *darkBitmap_, *enginePath_, *smtpUser_, *smtpPassword_,
        *certificate_, *tokenCommand_;
    QComboBox *language_, *hash_, *engine_, *smtpSecurity_, *pop3Security_, *provider_, *protocol_,
        *smtpSignIn_, *pop3SignIn_;
    QLabel* providerHint_;
    QCheckBox *coordinates_, *colouredButtons_;
    QRadioButton *useColors_, *useBitmaps_;
    QPushButton* colourButtons_[3]{};
    QPushButton *lightBitmapButton_, *darkBitmapButton_;
};

// The security choices of a mail server in the order of their lists:
// "NONE", "STARTTLS", "TLS"; an unknown text is "NONE" (index 0).
int SecurityIndex(const std::string& text);
const char* SecurityName(int index);

// Colours as the settings file stores them (red in the low byte).
QColor ColourFromSetting(int32_t value);
int32_t SettingFromColour(const QColor& c);

} // namespace quorel::ui
