#include "ui/dialogs/configdialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/codepage.h"
#include "shell/mailpresets.h"
#include "shell/profile.h"
#include "shell/startup.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/common/msgbox.h"
#include "ui/dialogs/addressdialog.h"
#include "ui/dialogs/dlgutil.h"

namespace quorel::ui {

QColor ColourFromSetting(int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

int32_t SettingFromColour(const QColor& c) {
    return int32_t(uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16));
}

int SecurityIndex(const std::string& text) {
    const QString t = QU(text).trimmed().toUpper();
    if (t == QLatin1String("STARTTLS")) return 1;
    if (t == QLatin1String("TLS")) return 2;
    return 0;
}

const char* SecurityName(int index) {
    static const char* const names[3] = {"NONE", "STARTTLS", "TLS"};
    return names[index >= 0 && index <= 2 ? index : 0];
}

namespace {

QComboBox* MakeSecurityBox(QWidget* parent, const char* name) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->addItems({QStringLiteral("None"), QStringLiteral("STARTTLS"), QStringLiteral("TLS")});
    return c;
}

QComboBox* MakeBox(QWidget* parent, const char* name, const QStringList& items) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->addItems(items);
    return c;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, QWidget* buddy) {
    auto* l = new QLabel(QString::fromLatin1(text), parent);
    l->setObjectName(QLatin1String(name));
    l->setBuddy(buddy);
    return l;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text) {
    auto* b = new QPushButton(QString::fromLatin1(text), parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

// An edit with a browse button beside it.
QHBoxLayout* WithButton(QLineEdit* edit, QPushButton* button) {
    // A browse button ("...") stays small beside its field.
    if (button->text() == QLatin1String("..."))
        button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
    auto* row = new QHBoxLayout;
    row->addWidget(edit, 1);
    row->addWidget(button);
    return row;
}

QString Str(const std::string& s) {
    return QU(s);
}

} // namespace

TConfigDialog::TConfigDialog(TShellSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
    setObjectName(QStringLiteral("TConfigDialog"));
    setWindowTitle(QStringLiteral("Configuration"));

    // --- the player and the mail servers
    auto* player = new QGroupBox(QStringLiteral("Player and mail"), this);
    player->setObjectName(QStringLiteral("PlayerGroup"));
    userName_ = MakeEdit(player, "EditUserName");
    email_ = MakeEdit(player, "EditEmail");
    smtp_ = MakeEdit(player, "EditSMTP");
    pop3_ = MakeEdit(player, "EditPOP3");
    pop3User_ = MakeEdit(player, "EditPOP3User");
    password_ = MakeEdit(player, "EditPassword");
    password_->setEchoMode(QLineEdit::Password);
    password_->setMaxLength(255);
    country_ = MakeEdit(player, "EditCountry");
    country_->setMaxLength(3);
    country_->setMaximumWidth(fontMetrics().averageCharWidth() * 8);
    QPushButton* countryButton = MakeButton(player, "CountryButton", "C&ountries...");
    auto* form1 = new QFormLayout(player);
    form1->addRow(MakeLabel(player, "LabelUserName", "&User Name:", userName_), userName_);
    form1->addRow(MakeLabel(player, "LabelEmail", "&Email address:", email_), email_);
    form1->addRow(MakeLabel(player, "LabelSMTP", "&SMTP server:", smtp_), smtp_);
    form1->addRow(MakeLabel(player, "LabelPOP3", "&POP3 Server:", pop3_), pop3_);
    form1->addRow(MakeLabel(player, "LabelPOP3User", "POP3 User &Name:", pop3User_), pop3User_);
    form1->addRow(MakeLabel(player, "LabelPassword", "POP3 Pass&word:", password_), password_);
    auto* countryRow = new QHBoxLayout;
    countryRow->addWidget(country_);
    countryRow->addWidget(countryButton);
    countryRow->addStretch(1);
    form1->addRow(MakeLabel(player, "LabelCountry", "Countr&y:", country_), countryRow);

    // --- mail security (today's providers; "None" is the plain dialogue)
    auto* security = new QGroupBox(QStringLiteral("Mail security"), this);
    security->setObjectName(QStringLiteral("SecurityGroup"));
    smtpSecurity_ = MakeSecurityBox(security, "SmtpSecurityGroup");
    pop3Security_ = MakeSecurityBox(security, "Pop3SecurityGroup");
    smtpUser_ = MakeEdit(security, "EditSmtpUser");
    smtpPassword_ = MakeEdit(security, "EditSmtpPassword");
    smtpPassword_->setEchoMode(QLineEdit::Password);
    smtpPassword_->setMaxLength(255);
    certificate_ = MakeEdit(security, "EditCertificate");
    QPushButton* certificateButton = MakeButton(security, "CertificateButton", "...");
    QStringList providers;
    for (const TMailPreset& p : MailPresets())
        providers << QString::fromUtf8(p.Name);
    provider_ = MakeBox(security, "ProviderGroup", providers);
    providerHint_ = new QLabel(security);
    providerHint_->setObjectName(QStringLiteral("ProviderHint"));
    providerHint_->setWordWrap(true);
    // Room for the longest hint, so that choosing a provider never squeezes it.
    providerHint_->setMinimumHeight(providerHint_->fontMetrics().lineSpacing() * 3 + 4);
    providerHint_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    protocol_ =
        MakeBox(security, "MailProtocolGroup", {QStringLiteral("POP3"), QStringLiteral("IMAP")});
    const QStringList signIn = {QStringLiteral("Password"), QStringLiteral("OAuth 2.0")};
    smtpSignIn_ = MakeBox(security, "SmtpSignInGroup", signIn);
    pop3SignIn_ = MakeBox(security, "Pop3SignInGroup", signIn);
    tokenCommand_ = MakeEdit(security, "EditTokenCommand");
    auto* formS = new QFormLayout(security);
    formS->addRow(MakeLabel(security, "LabelProvider", "Pro&vider:", provider_), provider_);
    formS->addRow(providerHint_);
    formS->addRow(MakeLabel(security, "LabelMailProtocol", "Mail Pr&otocol:", protocol_),
                  protocol_);
    formS->addRow(MakeLabel(security, "LabelSmtpSecurity", "SMTP Securit&y:", smtpSecurity_),
                  smtpSecurity_);
    formS->addRow(MakeLabel(security, "LabelPop3Security", "POP3 Securi&ty:", pop3Security_),
                  pop3Security_);
    formS->addRow(MakeLabel(security, "LabelSmtpUser", "SMTP User Na&me:", smtpUser_), smtpUser_);
    formS->addRow(MakeLabel(security, "LabelSmtpPassword", "SMTP Passwo&rd:", smtpPassword_),
                  smtpPassword_);
    formS->addRow(MakeLabel(security, "LabelCertificate", "Trusted Certificate:", certificate_),
                  WithButton(certificate_, certificateButton));
    formS->addRow(MakeLabel(security, "LabelSmtpSignIn", "SMTP Sign-in:", smtpSignIn_),
                  smtpSignIn_);
    formS->addRow(MakeLabel(security, "LabelPop3SignIn", "POP3 Sign-in:", pop3SignIn_),
                  pop3SignIn_);
    formS->addRow(MakeLabel(security, "LabelTokenCommand", "OAuth2 Token Command:", tokenCommand_),
                  tokenCommand_);
    connect(certificateButton, &QPushButton::clicked, this, &TConfigDialog::CertificateButtonClick);
    connect(provider_, &QComboBox::activated, this, &TConfigDialog::ProviderChosen);
    connect(protocol_, &QComboBox::activated, this, &TConfigDialog::ProtocolChosen);
    // The token command matters only to an OAuth 2.0 sign-in.
    auto tokenField = [this] {
        tokenCommand_->setEnabled(smtpSignIn_->currentIndex() == 1 ||
                                  pop3SignIn_->currentIndex() == 1);
    };
    connect(smtpSignIn_, &QComboBox::currentIndexChanged, this, tokenField);
    connect(pop3SignIn_, &QComboBox::currentIndexChanged, this, tokenField);
    tokenField();

    // --- documents, programs, language, options
    auto* other = new QGroupBox(QStringLiteral("Files and options"), this);
    other->setObjectName(QStringLiteral("OptionsGroup"));
    signature_ = MakeEdit(other, "EditSignature");
    QPushButton* signatureButton = MakeButton(other, "SignatureButton", "...");
    iecg_ = MakeEdit(other, "EditIECG");
    pegasus_ = MakeEdit(other, "EditPegasus");
    QPushButton* pegasusButton = MakeButton(other, "PegasusButton", "...");
    language_ = new QComboBox(other);
    language_->setObjectName(QStringLiteral("LanguageGroup"));
    language_->addItems({QStringLiteral("English"), QStringLiteral("Spanish"),
                         QStringLiteral("German"), QStringLiteral("Italian"),
                         QStringLiteral("French"), QStringLiteral("Catalan"),
                         QStringLiteral("Portuguese")});
    coordinates_ = new QCheckBox(QStringLiteral("Display coordinates"), other);
    coordinates_->setObjectName(QStringLiteral("CheckCoordinates"));
    colouredButtons_ = new QCheckBox(QStringLiteral("Coloured buttons"), other);
    colouredButtons_->setObjectName(QStringLiteral("CheckColouredButtons"));
    auto* form2 = new QFormLayout(other);
    form2->addRow(MakeLabel(other, "LabelSignature", "Signature &File:", signature_),
                  WithButton(signature_, signatureButton));
    form2->addRow(MakeLabel(other, "LabelIECG", "&IECG Key (optional):", iecg_), iecg_);
    form2->addRow(MakeLabel(other, "LabelPegasus", "PEGASUS &MAIL path (optional):", pegasus_),
                  WithButton(pegasus_, pegasusButton));
    form2->addRow(MakeLabel(other, "LabelLanguage", "&Language:", language_), language_);
    form2->addRow(coordinates_);
    form2->addRow(colouredButtons_);

    // --- squares
    auto* squares = new QGroupBox(QStringLiteral("Squares"), this);
    squares->setObjectName(QStringLiteral("SquaresGroup"));
    useColors_ = new QRadioButton(QStringLiteral("Use colors"), squares);
    useColors_->setObjectName(QStringLiteral("UseColorsButton"));
    useBitmaps_ = new QRadioButton(QStringLiteral("Use bitmaps"), squares);
    useBitmaps_->setObjectName(QStringLiteral("UseBitmapsButton"));
    const char* colourNames[3] = {"LightColorButton", "DarkColorButton", "BackgroundColorButton"};
    const char* colourTexts[3] = {"&Light squares...", "&Dark squares...", "&Background..."};
    for (int i = 0; i < 3; ++i) {
        colourButtons_[i] = MakeButton(squares, colourNames[i], colourTexts[i]);
        connect(colourButtons_[i], &QPushButton::clicked, this, [this, i] { ChooseColour(i); });
    }
    lightBitmap_ = MakeEdit(squares, "EditLightBitmap");
    darkBitmap_ = MakeEdit(squares, "EditDarkBitmap");
    lightBitmapButton_ = MakeButton(squares, "LightBitmapButton", "...");
    darkBitmapButton_ = MakeButton(squares, "DarkBitmapButton", "...");
    auto* grid = new QGridLayout(squares);
    grid->addWidget(useColors_, 0, 0);
    auto* colourRow = new QHBoxLayout;
    for (QPushButton* b : colourButtons_)
        colourRow->addWidget(b);
    colourRow->addStretch(1);
    grid->addLayout(colourRow, 0, 1, 1, 2);
    grid->addWidget(useBitmaps_, 1, 0);
    grid->addWidget(MakeLabel(squares, "LabelLightBitmap", "Light:", lightBitmap_), 1, 1);
    grid->addLayout(WithButton(lightBitmap_, lightBitmapButton_), 1, 2);
    grid->addWidget(MakeLabel(squares, "LabelDarkBitmap", "Dark:", darkBitmap_), 2, 1);
    grid->addLayout(WithButton(darkBitmap_, darkBitmapButton_), 2, 2);
    grid->setColumnStretch(2, 1);

    // --- Rebel engine
    auto* rebel = new QGroupBox(QStringLiteral("Rebel Engine"), this);
    rebel->setObjectName(QStringLiteral("RebelGroup"));
    enginePath_ = MakeEdit(rebel, "EditEnginePath");
    QPushButton* engineButton = MakeButton(rebel, "EngineButton", "...");
    hash_ = new QComboBox(rebel);
    hash_->setObjectName(QStringLiteral("HashGroup"));
    hash_->addItems({QStringLiteral("256 Kb"), QStringLiteral("512 Kb"), QStringLiteral("1 Mb"),
                     QStringLiteral("2 Mb"), QStringLiteral("4 Mb"), QStringLiteral("13 Mb"),
                     QStringLiteral("28 Mb")});
    engine_ = new QComboBox(rebel);
    engine_->setObjectName(QStringLiteral("EngineGroup"));
    engine_->addItems({QStringLiteral("Rebel Decade 2.0"), QStringLiteral("Rebel 9")});
    auto* form3 = new QFormLayout(rebel);
    form3->addRow(MakeLabel(rebel, "LabelEnginePath", "Engine &path:", enginePath_),
                  WithButton(enginePath_, engineButton));
    form3->addRow(MakeLabel(rebel, "LabelHash", "&Hash table:", hash_), hash_);
    form3->addRow(MakeLabel(rebel, "LabelEngine", "E&ngine:", engine_), engine_);

    QPushButton* ok = MakeButton(this, "OKBtn", "&Ok");
    QPushButton* cancel = MakeButton(this, "CancelBtn", "&Cancel");
    ok->setDefault(true);

    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(player);
    left->addWidget(security);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(other);
    right->addWidget(squares);
    right->addWidget(rebel);
    right->addStretch(1);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);

    connect(countryButton, &QPushButton::clicked, this, &TConfigDialog::CountryButtonClick);
    connect(signatureButton, &QPushButton::clicked, this, &TConfigDialog::SignatureButtonClick);
    connect(pegasusButton, &QPushButton::clicked, this, &TConfigDialog::PegasusButtonClick);
    connect(engineButton, &QPushButton::clicked, this, &TConfigDialog::EngineButtonClick);
    connect(lightBitmapButton_, &QPushButton::clicked, this, [this] { ChooseBitmap(true); });
    connect(darkBitmapButton_, &QPushButton::clicked, this, [this] { ChooseBitmap(false); });
    connect(useColors_, &QRadioButton::toggled, this, &TConfigDialog::UpdateSquareMode);
    connect(ok, &QPushButton::clicked, this, &TConfigDialog::OKBtnClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    ApplyLanguage(this);
    formCaption_ = windowTitle();
    setWindowTitle(QU(session_.SettingsDialogCaption(SU(formCaption_))));
    FormActivate();
}

QString TConfigDialog::Msg(const QString& key) const {
    return LangText(QStringLiteral("TConfigDialog"), key);
}

void TConfigDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
}

void TConfigDialog::FormActivate() {
    loaded_ = session_.ReadSettingsForDialog();
    const TSettings& s = loaded_;
    userName_->setText(Str(s.UserName));
    email_->setText(Str(s.EmailAddress));
    smtp_->setText(Str(s.SmtpServer));
    pop3_->setText(Str(s.Pop3Server));
    pop3User_->setText(Str(s.Pop3UserName));
    password_->setText(Str(session_.ReadPassword()));
    country_->setText(Str(s.UserCountry));
    signature_->setText(Str(s.SignatureFile));
    iecg_->setText(Str(s.IecgKey));
    pegasus_->setText(Str(s.PegasusPath));
    language_->setCurrentIndex(s.Language >= 0 && s.Language <= 6 ? s.Language : 0);
    coordinates_->setChecked(s.DisplayCoordenates);
    colouredButtons_->setChecked(s.ColouredButtons);
    colours_[0] = ColourFromSetting(s.LightSquaresColor);
    colours_[1] = ColourFromSetting(s.DarkSquaresColor);
    colours_[2] = ColourFromSetting(s.BackgroundColor);
    lightBitmap_->setText(Str(s.LightSquaresBitmap));
    darkBitmap_->setText(Str(s.DarkSquaresBitmap));
    (s.UseBitmapSquares ? useBitmaps_ : useColors_)->setChecked(true);
    enginePath_->setText(Str(s.RebelEnginePath));
    hash_->setCurrentIndex(
        s.RebelEngineHashSize >= 0 && s.RebelEngineHashSize <= 6 ? s.RebelEngineHashSize : 0);
    engine_->setCurrentIndex(s.RebelEngineVersion == 1 ? 1 : 0);
    ShowMailFields(s);
    provider_->setCurrentIndex(int(MailPresetOf(s)));
    ShowProviderHint();
    tokenCommand_->setText(Str(s.OAuth2TokenCommand));
    certificate_->setText(Str(s.TrustedCertificate));
    smtpPassword_->setText(
        Str(ReadPasswordFile(session_.Folders().Program / SmtpPasswordFileName(session_.Profile()))
                .value_or("")));
    ShowColours();
    UpdateSquareMode();
}

void TConfigDialog::ShowMailFields(const TSettings& s) {
    smtp_->setText(Str(s.SmtpServer));
    pop3_->setText(Str(s.Pop3Server));
    smtpSecurity_->setCurrentIndex(SecurityIndex(s.SmtpSecurity));
    pop3Security_->setCurrentIndex(SecurityIndex(s.Pop3Security));
    smtpUser_->setText(Str(s.SmtpUserName));
    protocol_->setCurrentIndex(AsciiUpper(s.MailProtocol) == "IMAP" ? 1 : 0);
    smtpSignIn_->setCurrentIndex(AsciiUpper(s.SmtpSignIn) == "OAUTH2" ? 1 : 0);
    pop3SignIn_->setCurrentIndex(AsciiUpper(s.Pop3SignIn) == "OAUTH2" ? 1 : 0);
}

void TConfigDialog::ShowProviderHint() {
    const auto presets = MailPresets();
    const int i = provider_->currentIndex();
    if (i < 0 || size_t(i) >= presets.size()) return;
    providerHint_->setText(Msg(QLatin1String(presets[size_t(i)].HintKey)));
}

void TConfigDialog::ProviderChosen(int index) {
    const auto presets = MailPresets();
    if (index < 0 || size_t(index) >= presets.size()) return;
    TSettings s = FieldValues();
    ApplyMailPreset(presets[size_t(index)], s);
    ShowMailFields(s);
    ShowProviderHint();
}

void TConfigDialog::ProtocolChosen(int) {
    const int i = provider_->currentIndex();
    if (i >= 0 && size_t(i) + 1 < MailPresets().size()) ProviderChosen(i);
}

void TConfigDialog::ShowColours() {
    for (int i = 0; i < 3; ++i) {
        QPixmap swatch(18, 14);
        swatch.fill(colours_[i]);
        colourButtons_[i]->setIcon(QIcon(swatch));
    }
}

void TConfigDialog::UpdateSquareMode() {
    const bool bitmaps = useBitmaps_->isChecked();
    colourButtons_[0]->setEnabled(!bitmaps);
    colourButtons_[1]->setEnabled(!bitmaps);
    for (QWidget* w : std::initializer_list<QWidget*>{lightBitmap_, darkBitmap_, lightBitmapButton_,
                                                      darkBitmapButton_})
        w->setEnabled(bitmaps);
}

TSettings TConfigDialog::FieldValues() const {
    TSettings s = loaded_;
    s.UserName = SU(userName_->text());
    s.EmailAddress = SU(email_->text().trimmed());
    s.SmtpServer = SU(smtp_->text().trimmed());
    s.Pop3Server = SU(pop3_->text().trimmed());
    s.Pop3UserName = SU(pop3User_->text());
    s.UserCountry = SU(country_->text());
    s.SignatureFile = SU(signature_->text());
    s.IecgKey = SU(iecg_->text());
    s.PegasusPath = SU(pegasus_->text());
    s.Language = language_->currentIndex() < 0 ? 0 : language_->currentIndex();
    s.DisplayCoordenates = coordinates_->isChecked();
    s.ColouredButtons = colouredButtons_->isChecked();
    s.LightSquaresColor = SettingFromColour(colours_[0]);
    s.DarkSquaresColor = SettingFromColour(colours_[1]);
    s.BackgroundColor = SettingFromColour(colours_[2]);
    s.LightSquaresBitmap = SU(lightBitmap_->text());
    s.DarkSquaresBitmap = SU(darkBitmap_->text());
    s.UseBitmapSquares = useBitmaps_->isChecked();
    s.RebelEnginePath = SU(enginePath_->text());
    s.RebelEngineHashSize = hash_->currentIndex() < 0 ? 0 : hash_->currentIndex();
    s.RebelEngineVersion = engine_->currentIndex() == 1 ? 1 : 0;
    s.SmtpSecurity = SecurityName(smtpSecurity_->currentIndex());
    s.Pop3Security = SecurityName(pop3Security_->currentIndex());
    s.SmtpUserName = SU(smtpUser_->text().trimmed());
    s.TrustedCertificate = SU(certificate_->text());
    s.MailProtocol = protocol_->currentIndex() == 1 ? "IMAP" : "POP3";
    s.SmtpSignIn = smtpSignIn_->currentIndex() == 1 ? "OAUTH2" : "PASSWORD";
    s.Pop3SignIn = pop3SignIn_->currentIndex() == 1 ? "OAUTH2" : "PASSWORD";
    s.OAuth2TokenCommand = SU(tokenCommand_->text().trimmed());
    return s;
}

QString TConfigDialog::Password() const {
    return password_->text();
}

QString TConfigDialog::SmtpPassword() const {
    return smtpPassword_->text();
}

void TConfigDialog::CertificateButtonClick() {
    const QString file = QFileDialog::getOpenFileName(
        this, Msg(QStringLiteral("@CertificateTitle")), AppContext().programFolder,
        Msg(QStringLiteral("@CertificateFilter")) + QStringLiteral(" (*.pem *.crt *.cer);;* (*)"));
    if (!file.isEmpty()) certificate_->setText(file);
}

void TConfigDialog::OKBtnClick() {
    TSettings s = FieldValues();
    if (TShellSession::EnforceHashRule(s)) {
        Tell(this, QMessageBox::Warning, QLatin1String(kHashSizeRefusedCaption),
             QLatin1String(kHashSizeRefusedText));
        hash_->setCurrentIndex(0);
    }
    std::string error;
    bool changed = false;
    if (!session_.SaveDialogSettings(s, SU(password_->text()), &changed, &error)) {
        Tell(this, QMessageBox::Critical, BoxTitle(),
             Msg(QStringLiteral("@CannotSave")) +
                 (error.empty() ? QString() : QStringLiteral(" : ") + QU(error)));
        return;
    }
    // The SMTP password is kept like the POP3 one, in a file of its own.
    if (!WritePasswordFile(session_.Folders().Program / SmtpPasswordFileName(session_.Profile()),
                           SU(smtpPassword_->text()), &error)) {
        Tell(this, QMessageBox::Critical, BoxTitle(),
             Msg(QStringLiteral("@CannotSave")) + QStringLiteral(" : ") + QU(error));
        return;
    }
    languageChanged_ = changed;
    if (changed)
        Tell(this, QMessageBox::Information, BoxTitle(), Msg(QStringLiteral("@LanguageChange")));
    accept();
}

void TConfigDialog::CountryButtonClick() {
    TCountriesListDialog dialog(this);
    dialog.Select(country_->text());
    if (dialog.exec() != QDialog::Accepted) return;
    const QString line = dialog.Chosen();
    if (!line.isEmpty()) country_->setText(line.left(3));
}

void TConfigDialog::SignatureButtonClick() {
    const QString file = QFileDialog::getOpenFileName(
        this, Msg(QStringLiteral("@SignatureTitle")),
        signature_->text().isEmpty() ? AppContext().programFolder : signature_->text(),
        Msg(QStringLiteral("@TextFilter")));
    if (!file.isEmpty()) signature_->setText(file);
}

void TConfigDialog::PegasusButtonClick() {
    const QString file = QFileDialog::getOpenFileName(
        this, Msg(QStringLiteral("@PegasusTitle")), AppContext().programFolder,
        // Programs here carry no ".exe": every file is offered first.
        Msg(QStringLiteral("@ProgramFilter")) + QStringLiteral(" (*);;*.exe (*.exe *.EXE)"));
    if (!file.isEmpty()) pegasus_->setText(file);
}

void TConfigDialog::EngineButtonClick() {
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Diagrom: Select Rebel engine location"), AppContext().programFolder,
        // The engine program may be any UCI engine, which has no extension.
        QStringLiteral("Rebel engine PIF file (*.PIF *.pif);;Rebel engine (*.EXE *.exe);;* (*)"));
    if (!file.isEmpty()) enginePath_->setText(file);
}

void TConfigDialog::ChooseColour(int which) {
    const QColor c = QColorDialog::getColor(colours_[which], this);
    if (!c.isValid()) return;
    colours_[which] = c;
    ShowColours();
}

void TConfigDialog::ChooseBitmap(bool light) {
    QLineEdit* edit = light ? lightBitmap_ : darkBitmap_;
    const QString file = QFileDialog::getOpenFileName(this, Msg(QStringLiteral("@BitmapTitle")),
                                                      AppContext().programFolder,
                                                      QStringLiteral("BMP (*.bmp *.BMP);;* (*)"));
    if (!file.isEmpty()) edit->setText(file);
}

} // namespace quorel::ui
