// The settings dialog over a real session in a temporary program folder:
// what it shows when it opens, the hash rule on OK, the keys and the
// password file OK writes, the language message, and Cancel writing nothing.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <gtest/gtest.h>

#include "dlgtest_util.h"
#include "shell/ini.h"
#include "shell/profile.h"
#include "shell/startup.h"
#include "ui/common/langapply.h"
#include "ui/dialogs/configdialog.h"

using namespace quorel;
using namespace quorel::ui;

namespace {

template <class W> W* Child(QWidget& w, const char* name) {
    W* c = w.findChild<W*>(QLatin1String(name));
    if (!c) ADD_FAILURE() << "no widget " << name;
    return c;
}

TIniFile Ini(const dlgtest::TempFolder& folder) {
    return TIniFile::Load(folder.Session()->SettingsFile());
}

} // namespace

TEST(ConfigDialog, OpensWithTheFileAndCaption) {
    dlgtest::TempFolder folder(true);
    SetUiLanguage(0);
    // A settings file written by hand: other letter cases, no coordinates key.
    folder.WriteText(QString::fromStdString(folder.Session()->SettingsFile().string()),
                     "[SETUP]\r\nUser Name=Ana Souto\r\nemail address=ana@example.org\r\n"
                     "Background_Color=255\r\nLanguage=9\r\n"
                     "smtp security=starttls\r\n"
                     "[rebel]\r\nREBEL_ENGINE_VERSION=1\r\nRebel_engine_hash_size=4\r\n");
    ASSERT_TRUE(WritePasswordFile(folder.Session()->PasswordFile(), "s3cret"));
    TConfigDialog dialog(*folder.Session());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Configuration  [quorel]"));
    EXPECT_EQ(Child<QLineEdit>(dialog, "EditUserName")->text(), QStringLiteral("Ana Souto"));
    EXPECT_EQ(Child<QLineEdit>(dialog, "EditEmail")->text(), QStringLiteral("ana@example.org"));
    EXPECT_EQ(Child<QLineEdit>(dialog, "EditPassword")->text(), QStringLiteral("s3cret"));
    EXPECT_EQ(Child<QLineEdit>(dialog, "EditPassword")->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(Child<QCheckBox>(dialog, "CheckCoordinates")->isChecked()); // absent: unchecked
    EXPECT_TRUE(Child<QCheckBox>(dialog, "CheckColouredButtons")->isChecked());
    EXPECT_EQ(Child<QComboBox>(dialog, "LanguageGroup")->currentIndex(), 0); // 9 is taken as 0
    EXPECT_EQ(Child<QComboBox>(dialog, "EngineGroup")->currentIndex(), 1);
    EXPECT_EQ(Child<QComboBox>(dialog, "HashGroup")->currentText(), QStringLiteral("4 Mb"));
    EXPECT_EQ(dialog.FieldValues().BackgroundColor, 255);
    EXPECT_TRUE(Child<QRadioButton>(dialog, "UseColorsButton")->isChecked());
    EXPECT_EQ(Child<QComboBox>(dialog, "SmtpSecurityGroup")->currentIndex(), 1);
    EXPECT_EQ(Child<QComboBox>(dialog, "Pop3SecurityGroup")->currentIndex(), 0); // absent: none
}

TEST(ConfigDialog, OkAppliesTheHashRuleAndWritesEveryField) {
    dlgtest::TempFolder folder(true);
    SetUiLanguage(0);
    TConfigDialog dialog(*folder.Session());
    Child<QLineEdit>(dialog, "EditUserName")->setText(QStringLiteral("Ana Souto"));
    Child<QLineEdit>(dialog, "EditEmail")->setText(QStringLiteral("ana@example.org"));
    Child<QLineEdit>(dialog, "EditSMTP")->setText(QStringLiteral("smtp.example.org"));
    Child<QLineEdit>(dialog, "EditPOP3")->setText(QStringLiteral("pop.example.org"));
    Child<QLineEdit>(dialog, "EditPOP3User")->setText(QStringLiteral("ana"));
    Child<QLineEdit>(dialog, "EditPassword")->setText(QStringLiteral("pw"));
    Child<QLineEdit>(dialog, "EditCountry")->setText(QStringLiteral("ESP"));
    Child<QLineEdit>(dialog, "EditIECG")->setText(QStringLiteral("K-123"));
    Child<QLineEdit>(dialog, "EditEnginePath")->setText(QStringLiteral("/opt/rebel/REBEL.EXE"));
    Child<QCheckBox>(dialog, "CheckCoordinates")->setChecked(true);
    Child<QCheckBox>(dialog, "CheckColouredButtons")->setChecked(false);
    Child<QRadioButton>(dialog, "UseBitmapsButton")->setChecked(true);
    Child<QComboBox>(dialog, "EngineGroup")->setCurrentIndex(0); // Rebel Decade 2.0
    Child<QComboBox>(dialog, "HashGroup")->setCurrentIndex(3);   // 2 Mb: refused
    Child<QComboBox>(dialog, "LanguageGroup")->setCurrentIndex(2);
    Child<QComboBox>(dialog, "SmtpSecurityGroup")->setCurrentIndex(1);
    Child<QComboBox>(dialog, "Pop3SecurityGroup")->setCurrentIndex(2);
    Child<QLineEdit>(dialog, "EditSmtpUser")->setText(QStringLiteral("ana@example.org"));
    Child<QLineEdit>(dialog, "EditSmtpPassword")->setText(QStringLiteral("smtp-pw"));
    Child<QLineEdit>(dialog, "EditCertificate")->setText(QStringLiteral("/etc/ca.pem"));

    dlgtest::Modals modals;
    modals.Press(QMessageBox::Ok);
    modals.Press(QMessageBox::Ok);
    dialog.OKBtnClick();
    ASSERT_EQ(modals.Texts().size(), 2);
    EXPECT_EQ(modals.Texts()[0],
              QStringLiteral("Rebel Decade 2.0 only allow 256 kb hash table size"));
    EXPECT_EQ(modals.Texts()[1],
              QStringLiteral("Language changes will take effect next time you launch Quorel"));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(Child<QComboBox>(dialog, "HashGroup")->currentIndex(), 0);

    const TIniFile ini = Ini(folder);
    const struct {
        const char *section, *key, *value;
    } expected[] = {
        {"Setup", "User Name", "Ana Souto"},
        {"Setup", "Email Address", "ana@example.org"},
        {"Setup", "SMTP Server", "smtp.example.org"},
        {"Setup", "POP3 Server", "pop.example.org"},
        {"Setup", "POP3 User Name", "ana"},
        {"Setup", "User_Country", "ESP"},
        {"Setup", "Display Coordenates", "YES"},
        {"Setup", "Coloured_buttons", "NO"},
        {"setup", "IECG key", "K-123"},
        {"setup", "Use_bitmap_squares", "1"},
        {"setup", "Language", "2"},
        {"setup", "Light Squares Color", "16777215"},
        {"setup", "Dark Squares Color", "8421504"},
        {"setup", "Background_Color", "8421376"},
        {"REBEL", "Rebel_Engine_Path", "/opt/rebel/REBEL.EXE"},
        {"REBEL", "Rebel_engine_version", "0"},
        {"REBEL", "Rebel_engine_hash_size", "0"},
        {"Setup", "SMTP Security", "STARTTLS"},
        {"Setup", "POP3 Security", "TLS"},
        {"Setup", "SMTP User Name", "ana@example.org"},
        {"Setup", "Trusted Certificate", "/etc/ca.pem"},
    };
    for (const auto& e : expected)
        EXPECT_EQ(ini.Get(e.section, e.key).value_or("<absent>"), e.value) << e.key;
    // The password file: one 256-byte record, scrambled.
    std::string record;
    QFile pwd(QString::fromStdString(folder.Session()->PasswordFile().string()));
    ASSERT_TRUE(pwd.open(QIODevice::ReadOnly));
    record = pwd.readAll().toStdString();
    ASSERT_EQ(record.size(), 256u);
    EXPECT_EQ(record[0], 2);
    EXPECT_NE(record.substr(1, 2), "pw");
    EXPECT_EQ(DecodePasswordRecord(record), "pw");
    // The SMTP password in a file of its own, kept like the POP3 one.
    EXPECT_EQ(ReadPasswordFile(folder.Session()->Folders().Program / "quorel-smtp.pwd")
                  .value_or("<absent>"),
              "smtp-pw");
    // Taken over for the run; the engine path whole, so that the next
    // analysis runs the program entered.
    EXPECT_EQ(folder.Session()->Settings().EmailAddress, "ana@example.org");
    EXPECT_EQ(folder.Session()->Password(), "pw");
    EXPECT_EQ(folder.Session()->Settings().RebelEnginePath, "/opt/rebel/REBEL.EXE");
}

TEST(ConfigDialog, Rebel9KeepsItsHashSizeAndCancelWritesNothing) {
    dlgtest::TempFolder folder(true);
    SetUiLanguage(0);
    {
        TConfigDialog dialog(*folder.Session());
        Child<QComboBox>(dialog, "EngineGroup")->setCurrentIndex(1);
        Child<QComboBox>(dialog, "HashGroup")->setCurrentIndex(6);
        dlgtest::Modals modals;
        dialog.OKBtnClick();
        EXPECT_TRUE(modals.Texts().isEmpty()); // neither the hash nor the language message
        EXPECT_EQ(Ini(folder).Get("REBEL", "Rebel_engine_hash_size").value_or(""), "6");
    }
    {
        TConfigDialog dialog(*folder.Session());
        EXPECT_EQ(Child<QComboBox>(dialog, "HashGroup")->currentIndex(), 6);
        Child<QLineEdit>(dialog, "EditUserName")->setText(QStringLiteral("Somebody"));
        dialog.reject();
        EXPECT_EQ(Ini(folder).Get("Setup", "User Name").value_or("<absent>"), "");
    }
}

TEST(ConfigDialog, ColoursAsTheFileStoresThem) {
    EXPECT_EQ(ColourFromSetting(255), QColor(255, 0, 0));
    EXPECT_EQ(ColourFromSetting(8421376), QColor(0, 128, 128));
    EXPECT_EQ(SettingFromColour(QColor(128, 128, 128)), 8421504);
    EXPECT_EQ(SettingFromColour(QColor(1, 2, 3)), 0x030201);
}

// Each provider of the list fills the mail fields as the provider publishes
// them (the protocol chosen first decides the incoming server), with its
// hint; "Other" leaves the fields; OK writes the new keys.
TEST(ConfigDialog, ProviderPresetsFillTheMailFields) {
    dlgtest::TempFolder folder(true);
    SetUiLanguage(0);
    TConfigDialog dialog(*folder.Session());
    auto* provider = Child<QComboBox>(dialog, "ProviderGroup");
    auto* protocol = Child<QComboBox>(dialog, "MailProtocolGroup");
    ASSERT_EQ(provider->currentText(), QStringLiteral("Other")); // nothing set yet
    Child<QLineEdit>(dialog, "EditPOP3User")->setText(QStringLiteral("ana@example.org"));
    const struct {
        const char* provider;
        int protocol; // chosen before: 0 POP3, 1 IMAP
        const char *smtp, *incoming;
        int smtpSecurity, protocolAfter, signIn;
        const char* hint; // its beginning
    } rows[] = {
        {"Gmail", 0, "smtp.gmail.com:587", "pop.gmail.com:995", 1, 0, 0, "Gmail: turn on"},
        {"Gmail", 1, "smtp.gmail.com:587", "imap.gmail.com:993", 1, 1, 0, "Gmail: turn on"},
        {"Outlook.com / Microsoft 365", 1, "smtp.office365.com:587", "outlook.office365.com:993", 1,
         1, 1, "Outlook.com / Microsoft 365: OAuth 2.0 only"},
        {"Yahoo", 0, "smtp.mail.yahoo.com:465", "pop.mail.yahoo.com:995", 2, 0, 0, "Yahoo: create"},
        {"GMX", 1, "mail.gmx.net:587", "imap.gmx.net:993", 1, 1, 0, "GMX: your account"},
        {"Web.de", 0, "smtp.web.de:587", "pop3.web.de:995", 1, 0, 0, "Web.de: your account"},
        {"iCloud", 0, "smtp.mail.me.com:587", "imap.mail.me.com:993", 1, 1, 0, "iCloud: IMAP only"},
        {"Other", 0, "smtp.mail.me.com:587", "imap.mail.me.com:993", 1, 0, 0, "Other provider"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.provider);
        protocol->setCurrentIndex(r.protocol);
        const int index = provider->findText(QString::fromUtf8(r.provider));
        ASSERT_GE(index, 0);
        provider->setCurrentIndex(index);
        emit provider->activated(index);
        EXPECT_EQ(Child<QLineEdit>(dialog, "EditSMTP")->text(), QLatin1String(r.smtp));
        EXPECT_EQ(Child<QLineEdit>(dialog, "EditPOP3")->text(), QLatin1String(r.incoming));
        EXPECT_EQ(Child<QComboBox>(dialog, "SmtpSecurityGroup")->currentIndex(), r.smtpSecurity);
        EXPECT_EQ(Child<QComboBox>(dialog, "Pop3SecurityGroup")->currentIndex(), 2);
        EXPECT_EQ(protocol->currentIndex(), r.protocolAfter);
        EXPECT_EQ(Child<QComboBox>(dialog, "SmtpSignInGroup")->currentIndex(), r.signIn);
        EXPECT_EQ(Child<QComboBox>(dialog, "Pop3SignInGroup")->currentIndex(), r.signIn);
        EXPECT_EQ(Child<QLineEdit>(dialog, "EditSmtpUser")->text(),
                  QStringLiteral("ana@example.org"));
        EXPECT_TRUE(Child<QLabel>(dialog, "ProviderHint")->text().startsWith(QLatin1String(r.hint)))
            << Child<QLabel>(dialog, "ProviderHint")->text().toStdString();
    }
    // A provider's incoming server follows a change of protocol.
    provider->setCurrentIndex(0);
    emit provider->activated(0);
    protocol->setCurrentIndex(1);
    emit protocol->activated(1);
    EXPECT_EQ(Child<QLineEdit>(dialog, "EditPOP3")->text(), QStringLiteral("imap.gmail.com:993"));

    EXPECT_FALSE(Child<QLineEdit>(dialog, "EditTokenCommand")->isEnabled()); // no OAuth 2.0
    Child<QComboBox>(dialog, "SmtpSignInGroup")->setCurrentIndex(1);
    EXPECT_TRUE(Child<QLineEdit>(dialog, "EditTokenCommand")->isEnabled());
    Child<QLineEdit>(dialog, "EditTokenCommand")->setText(QStringLiteral("oama access ana"));
    dialog.OKBtnClick();
    const TIniFile ini = Ini(folder);
    EXPECT_EQ(ini.Get("Setup", "Mail Protocol").value_or(""), "IMAP");
    EXPECT_EQ(ini.Get("Setup", "SMTP Sign-in").value_or(""), "OAUTH2");
    EXPECT_EQ(ini.Get("Setup", "POP3 Sign-in").value_or(""), "PASSWORD");
    EXPECT_EQ(ini.Get("Setup", "OAuth2 Token Command").value_or(""), "oama access ana");
    EXPECT_EQ(ini.Get("Setup", "POP3 Server").value_or(""), "imap.gmail.com:993");
}
