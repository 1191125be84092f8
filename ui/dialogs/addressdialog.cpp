#include "ui/dialogs/addressdialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/common/msgbox.h"
#include "ui/dialogs/dlgutil.h"

namespace quorel::ui {

namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text) {
    auto* b = new QPushButton(QString::fromLatin1(text), parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

// A photo path as stored: relative paths are taken from the program folder.
QString PhotoPath(const QString& stored) {
    if (stored.isEmpty()) return {};
    QString p = stored;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (QFileInfo(p).isAbsolute()) return p;
    return QDir(AppContext().programFolder).filePath(p);
}

} // namespace

QPixmap UnknownPicture(int size) {
    QPixmap pm(size, size);
    pm.fill(QColor(224, 224, 224));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 150, 150));
    p.drawEllipse(QRectF(size * 0.32, size * 0.14, size * 0.36, size * 0.36));
    QPainterPath body;
    body.addRoundedRect(QRectF(size * 0.18, size * 0.56, size * 0.64, size * 0.5), size * 0.2,
                        size * 0.2);
    p.drawPath(body);
    p.setPen(QColor(110, 110, 110));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, size - 1, size - 1));
    return pm;
}

// ---------------------------------------------------------------------------
// TAddressDialog

TAddressDialog::TAddressDialog(TAddressBook& book, QWidget* parent) : QDialog(parent), book_(book) {
    setObjectName(QStringLiteral("TAddressDialog"));
    setWindowTitle(QStringLiteral("Address Book"));

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("AddressList"));
    list_->setRootIsDecorated(false);
    list_->setColumnCount(3);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("StatusLabel"));

    QPushButton* add = MakeButton(this, "AddButton", "&Add");
    QPushButton* edit = MakeButton(this, "EditButton", "&Edit");
    QPushButton* del = MakeButton(this, "DeleteButton", "&Delete");
    QPushButton* ok = MakeButton(this, "OkButton", "&Ok");
    QPushButton* cancel = MakeButton(this, "CancelButton", "&Cancel");
    ok->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(edit);
    buttons->addWidget(del);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addWidget(status_);
    layout->addLayout(buttons);

    connect(add, &QPushButton::clicked, this, &TAddressDialog::AddButtonClick);
    connect(edit, &QPushButton::clicked, this, &TAddressDialog::EditButtonClick);
    connect(del, &QPushButton::clicked, this, &TAddressDialog::DeleteButtonClick);
    connect(ok, &QPushButton::clicked, this, &TAddressDialog::OkButtonClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { OkButtonClick(); });

    ApplyLanguage(this);
    list_->setHeaderLabels({Msg(QStringLiteral("@Name")), Msg(QStringLiteral("@EmailAddress")),
                            Msg(QStringLiteral("@Comments"))});
    const int ch = fontMetrics().averageCharWidth();
    list_->setAlternatingRowColors(true);
    list_->setColumnWidth(0, 30 * ch);
    list_->setColumnWidth(1, 30 * ch);
    resize(std::max(700, 100 * ch), 400);
    RefreshList();
}

QString TAddressDialog::Msg(const QString& key) const {
    return LangText(QStringLiteral("TAddressDialog"), key);
}

QString TAddressDialog::StatusText() const {
    return status_->text();
}

void TAddressDialog::RefreshList() {
    const long keep = SelectedRecord();
    list_->clear();
    if (book_.IsOpen()) {
        for (const TAddressRow& row : book_.Rows()) {
            QStringList cols = QU(row.Text).split(QLatin1Char('\t'));
            auto* item = new QTreeWidgetItem(cols);
            item->setData(0, Qt::UserRole, qlonglong(row.Record));
            list_->addTopLevelItem(item);
        }
    }
    status_->setText(QU(book_.StatusText(SU(Msg(QStringLiteral("@Title"))),
                                         SU(Msg(QStringLiteral("@Registers"))))));
    if (keep > 0) SelectRecord(keep);
}

long TAddressDialog::SelectedRecord() const {
    QTreeWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected()) return 0;
    return long(item->data(0, Qt::UserRole).toLongLong());
}

void TAddressDialog::SelectRecord(long record) {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toLongLong() == record) {
            list_->setCurrentItem(item);
            item->setSelected(true);
            return;
        }
    }
}

void TAddressDialog::AddButtonClick() {
    TEditAddressDialog editor(this);
    editor.SetRecord(TAddressRecord{});
    if (editor.exec() != QDialog::Accepted) return;
    const long n = book_.Add(editor.Record());
    RefreshList();
    if (n > 0) SelectRecord(n);
}

void TAddressDialog::EditButtonClick() {
    const long n = SelectedRecord();
    if (n <= 0) return;
    TEditAddressDialog editor(this);
    editor.SetRecord(book_.Get(n));
    if (editor.exec() != QDialog::Accepted) return;
    book_.Update(n, editor.Record());
    RefreshList();
    SelectRecord(n);
}

void TAddressDialog::DeleteButtonClick() {
    const long n = SelectedRecord();
    if (n <= 0) return;
    if (Ask(this, BoxTitle(), Msg(QStringLiteral("@WantDelete")),
            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    book_.Delete(n);
    list_->clearSelection();
    list_->setCurrentItem(nullptr);
    RefreshList();
}

void TAddressDialog::OkButtonClick() {
    if (SelectedRecord() <= 0) return;
    accept();
}

void TAddressDialog::done(int result) {
    // Closing in any way leaves the selected entry in the buffer.
    if (const long n = SelectedRecord(); n > 0 && book_.IsOpen()) book_.Get(n);
    QDialog::done(result);
}

// ---------------------------------------------------------------------------
// TEditAddressDialog

namespace {
struct FieldSpec {
    const char* edit;
    const char* label;
    const char* text;
    int capacity;
};
constexpr FieldSpec kFields[] = {
    {"EditName", "LabelName", "&Name:", 80},
    {"EditEmail", "LabelEmail", "&Email address:", 80},
    {"EditPhoto", "LabelPhoto", "&Photo:", 80},
    {"EditAddress", "LabelAddress", "&Mailing address:", 40},
    {"EditCity", "LabelCity", "C&ity:", 30},
    {"EditState", "LabelState", "&State/Province:", 20},
    {"EditZip", "LabelZip", "&ZIP code:", 10},
    {"EditCountry", "LabelCountry", "Co&untry:", 20},
};
} // namespace

TEditAddressDialog::TEditAddressDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TEditAddressDialog"));
    setWindowTitle(QStringLiteral("Bio Editor"));

    auto* form = new QFormLayout;
    for (const FieldSpec& f : kFields) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(f.edit));
        edit->setMaxLength(f.capacity);
        auto* label = new QLabel(QString::fromLatin1(f.text), this);
        label->setObjectName(QLatin1String(f.label));
        label->setBuddy(edit);
        if (QLatin1String(f.edit) == QLatin1String("EditPhoto")) {
            auto* row = new QHBoxLayout;
            row->addWidget(edit, 1);
            QPushButton* browse = MakeButton(this, "BrowseButton", "&Browse...");
            connect(browse, &QPushButton::clicked, this, &TEditAddressDialog::BrowseButtonClick);
            connect(edit, &QLineEdit::editingFinished, this, &TEditAddressDialog::ShowPhoto);
            row->addWidget(browse);
            form->addRow(label, row);
        } else {
            form->addRow(label, edit);
        }
    }
    notes_ = new QPlainTextEdit(this);
    notes_->setObjectName(QStringLiteral("EditNotes"));
    notes_->setTabChangesFocus(true);
    notes_->setFixedHeight(fontMetrics().lineSpacing() * 4 + 12);
    auto* notesLabel = new QLabel(QStringLiteral("N&otes:"), this);
    notesLabel->setObjectName(QStringLiteral("LabelNotes"));
    notesLabel->setBuddy(notes_);
    form->insertRow(2, notesLabel, notes_);

    photo_ = new QLabel(this);
    photo_->setObjectName(QStringLiteral("PhotoImage"));
    photo_->setFixedSize(120, 140);
    photo_->setAlignment(Qt::AlignCenter);
    photo_->setFrameShape(QFrame::StyledPanel);

    QPushButton* ok = MakeButton(this, "OkButton", "&Ok");
    QPushButton* cancel = MakeButton(this, "CancelButton", "&Cancel");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addLayout(form, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(photo_);
    right->addStretch(1);
    top->addLayout(right);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);

    ApplyLanguage(this);
    resize(std::max(560, fontMetrics().averageCharWidth() * 80), sizeHint().height());
}

QLineEdit* TEditAddressDialog::Field(const char* objectName) const {
    return findChild<QLineEdit*>(QLatin1String(objectName));
}

void TEditAddressDialog::SetRecord(const TAddressRecord& r) {
    record_ = r;
    Field("EditName")->setText(QU(r.Name));
    Field("EditEmail")->setText(QU(r.Email));
    Field("EditPhoto")->setText(QU(r.Photo));
    Field("EditAddress")->setText(QU(r.MailingAddress));
    Field("EditCity")->setText(QU(r.City));
    Field("EditState")->setText(QU(r.State));
    Field("EditZip")->setText(QU(r.Zip));
    Field("EditCountry")->setText(QU(r.Country));
    notes_->setPlainText(QU(r.Notes));
    ShowPhoto();
}

TAddressRecord TEditAddressDialog::Record() const {
    TAddressRecord r = record_;
    auto text = [this](const char* name, int capacity) {
        return SU(Field(name)->text().left(capacity));
    };
    r.Name = text("EditName", 80);
    r.Email = text("EditEmail", 80);
    r.Photo = text("EditPhoto", 80);
    r.MailingAddress = text("EditAddress", 40);
    r.City = text("EditCity", 30);
    r.State = text("EditState", 20);
    r.Zip = text("EditZip", 10);
    r.Country = text("EditCountry", 20);
    // The notes are one text of at most 255 characters; line breaks are
    // kept as blanks so that the list row stays on one line.
    QString notes = notes_->toPlainText();
    notes.replace(QLatin1Char('\n'), QLatin1Char(' '));
    r.Notes = SU(notes.left(255));
    r.Deleted = false;
    return r;
}

void TEditAddressDialog::BrowseButtonClick() {
    const QString start = PhotoPath(Field("EditPhoto")->text());
    const QString file = QFileDialog::getOpenFileName(
        this, windowTitle(), start.isEmpty() ? AppContext().programFolder : start,
        QStringLiteral("BMP files (*.bmp *.BMP)"));
    if (file.isEmpty()) return;
    Field("EditPhoto")->setText(file.left(80));
    ShowPhoto();
}

void TEditAddressDialog::ShowPhoto() {
    const QString path = PhotoPath(Field("EditPhoto")->text());
    QPixmap pm;
    if (!path.isEmpty()) pm.load(path);
    if (pm.isNull())
        photo_->setPixmap(UnknownPicture(100));
    else
        photo_->setPixmap(
            pm.scaled(photo_->size() - QSize(4, 4), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

// ---------------------------------------------------------------------------
// TCountriesListDialog

TCountriesListDialog::TCountriesListDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TCountriesListDialog"));
    setWindowTitle(QStringLiteral("Countries"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("CountriesList"));
    for (const char* c : kCountries)
        list_->addItem(QString::fromUtf8(c));
    list_->setCurrentRow(0);
    QPushButton* ok = MakeButton(this, "OkButton", "&Ok");
    QPushButton* cancel = MakeButton(this, "CancelButton", "&Cancel");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    // The countries are names: the table gives only the caption and buttons
    // (the list itself is no component of the table).
    ApplyLanguage(this);
    resize(340, 440);
}

QString TCountriesListDialog::Chosen() const {
    QListWidgetItem* item = list_->currentItem();
    return item ? item->text() : QString();
}

void TCountriesListDialog::Select(const QString& code) {
    if (code.isEmpty()) return;
    for (int i = 0; i < list_->count(); ++i)
        if (list_->item(i)->text().startsWith(code.left(3), Qt::CaseInsensitive)) {
            list_->setCurrentRow(i);
            list_->scrollToItem(list_->item(i), QAbstractItemView::PositionAtCenter);
            return;
        }
}

} // namespace quorel::ui
