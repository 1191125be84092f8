#include "ui/dialogs/selectdialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "pgn/writer.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/common/msgbox.h"
#include "ui/dialogs/dlgutil.h"
#include "ui/common/widgets.h"

namespace quorel::ui {

namespace {
// Display widths of the seven columns at the design font, in pixels.
constexpr int kColumnPixels[7] = {50, 125, 120, 120, 45, 45, 100};
const char* const kColumnKeys[7] = {"@Site",   "@Event",  "@White", "@Black",
                                    "@Result", "@MyTurn", "@Date"};
} // namespace

// The overwrite-or-append choice for an existing target file ("Append" is
// the default); true for "Overwrite file".
static bool AskOverwrite(TSelectDialog* dialog, const QString& file) {
    return AskOverwriteOrAppend(dialog, dialog->Msg(QStringLiteral("@SelectOption")),
                                QFileInfo(file).fileName(),
                                dialog->Msg(QStringLiteral("@OverwriteFile")),
                                dialog->Msg(QStringLiteral("@AppendFile")));
}

TSelectDialog::TSelectDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TSelectDialog"));
    setWindowTitle(QStringLiteral("Select game"));

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("GameList"));
    list_->setRootIsDecorated(false);
    list_->setColumnCount(7);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setAllColumnsShowFocus(true);
    list_->setUniformRowHeights(true);
    list_->setSortingEnabled(false);
    list_->setAlternatingRowColors(true);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("StatusLabel"));

    auto button = [this](const char* name, const char* text) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* refresh = button("RefreshButton", "&Refresh");
    inPlay_ = button("InPlayButton", "&In Play");
    allGames_ = button("AllGamesButton", "&All Games");
    QPushButton* del = button("DeleteButton", "&Delete");
    QPushButton* import = button("ImportButton", "&Import");
    QPushButton* pgn = button("PGNbutton", "Export to &PGN");
    ok_ = button("OkButton", "&Ok");
    ok_->setDefault(true);
    QPushButton* cancel = button("CancelButton", "&Cancel");

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {refresh, inPlay_, allGames_, del, import, pgn})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addWidget(status_);
    layout->addLayout(buttons);

    connect(refresh, &QPushButton::clicked, this, &TSelectDialog::RefreshList);
    connect(inPlay_, &QPushButton::clicked, this, &TSelectDialog::InPlayButtonClick);
    connect(allGames_, &QPushButton::clicked, this, &TSelectDialog::AllGamesButtonClick);
    connect(del, &QPushButton::clicked, this, &TSelectDialog::DeleteButtonClick);
    connect(import, &QPushButton::clicked, this, &TSelectDialog::ImportButtonClick);
    connect(pgn, &QPushButton::clicked, this, &TSelectDialog::PGNbuttonClick);
    connect(ok_, &QPushButton::clicked, this, &TSelectDialog::OkButtonClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { OkButtonClick(); });

    ApplyLanguage(this);
    QStringList headers;
    for (const char* key : kColumnKeys)
        headers << Msg(QLatin1String(key));
    list_->setHeaderLabels(headers);
    // The widths were made for an 8-point screen font; they grow with the
    // font so that the columns keep their texts.
    const double scale = std::max(1.0, fontMetrics().averageCharWidth() / 6.0);
    for (int c = 0; c < 7; ++c)
        list_->setColumnWidth(c, int(kColumnPixels[c] * scale * 1.25));
    list_->headerItem()->setTextAlignment(4, Qt::AlignCenter);
    list_->headerItem()->setTextAlignment(5, Qt::AlignCenter);
    UpdateFilterButtons();
    resize(int(780 * scale), 440);
}

QString TSelectDialog::Msg(const QString& key) const {
    return LangText(QStringLiteral("TSelectDialog"), key);
}

void TSelectDialog::SetInPlayOnly(bool on) {
    inPlayOnly_ = on;
    UpdateFilterButtons();
}

void TSelectDialog::UpdateFilterButtons() {
    // The button of the filter in force is the one that cannot be pressed.
    inPlay_->setEnabled(!inPlayOnly_);
    allGames_->setEnabled(inPlayOnly_);
}

void TSelectDialog::InPlayButtonClick() {
    SetInPlayOnly(true);
    RefreshList();
}

void TSelectDialog::AllGamesButtonClick() {
    SetInPlayOnly(false);
    RefreshList();
}

QString TSelectDialog::StatusText() const {
    return status_->text();
}

void TSelectDialog::RefreshList() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const TGameListScan scan =
        ScanGamesFolder(SU(AppContext().gamesFolder), inPlayOnly_, SU(AppContext().emailAddress));
    rows_ = scan.Rows;
    list_->clear();
    const QString yes = Msg(QStringLiteral("@Yes")), no = Msg(QStringLiteral("@No"));
    QList<QTreeWidgetItem*> items;
    for (size_t i = 0; i < rows_.size(); ++i) {
        QStringList cols = QU(rows_[i].Text).split(QLatin1Char('\t'));
        while (cols.size() > 7)
            cols.removeLast();
        for (QString& c : cols)
            c = c.trimmed();
        if (cols.size() > 5) cols[5] = cols[5] == QLatin1String("Yes") ? yes : no;
        auto* item = new QTreeWidgetItem(cols);
        item->setData(0, Qt::UserRole, qulonglong(i));
        item->setTextAlignment(4, Qt::AlignCenter);
        item->setTextAlignment(5, Qt::AlignCenter);
        items << item;
    }
    list_->addTopLevelItems(items);
    const QChar blank(QLatin1Char(' '));
    status_->setText(QString::number(rows_.size()) + blank + Msg(QStringLiteral("@Of")) + blank +
                     QString::number(scan.Total) + blank + Msg(QStringLiteral("@GamesListed")) +
                     QStringLiteral("  (") + QString::number(scan.Errors) + blank +
                     Msg(QStringLiteral("@ErrorsFound")) + QLatin1Char(')'));
    QApplication::restoreOverrideCursor();
}

QStringList TSelectDialog::SelectedFiles() const {
    QStringList files;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        if (!item->isSelected()) continue;
        const size_t row = item->data(0, Qt::UserRole).toULongLong();
        if (row < rows_.size()) files << QU(rows_[row].FileName);
    }
    return files;
}

void TSelectDialog::OkButtonClick() {
    accept();
}

void TSelectDialog::DeleteButtonClick() {
    const QStringList files = SelectedFiles();
    if (files.isEmpty()) {
        Tell(this, QMessageBox::Information, BoxTitle(), Msg(QStringLiteral("@NoSelected")));
        return;
    }
    if (Ask(this, BoxTitle(),
            QString::number(files.size()) + QLatin1Char(' ') +
                Msg(QStringLiteral("@ConfirmDelete")),
            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    for (const QString& f : files) {
        if (isOpen && isOpen(f)) {
            Tell(this, QMessageBox::Warning, BoxTitle(),
                 f + QStringLiteral(" : ") + Msg(QStringLiteral("@DeleteOpen")));
            continue;
        }
        DeleteGameFiles(SU(AppContext().gamesFolder), SU(f));
    }
    RefreshList();
}

void TSelectDialog::ImportButtonClick() {
    std::vector<chess::TUserMessage> messages;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    chess::ImportOldFiles(SU(AppContext().gamesFolder), messages);
    QApplication::restoreOverrideCursor();
    for (const chess::TUserMessage& m : messages) {
        QString text;
        if (!m.Key.empty()) {
            text = Msg(QU(m.Key));
            if (text.isEmpty()) text = QU(chess::EnglishText(m.Key));
        }
        Tell(this, QMessageBox::Information, BoxTitle(), QU(m.Before) + text + QU(m.After));
    }
    RefreshList();
}

void TSelectDialog::PGNbuttonClick() {
    const QStringList files = SelectedFiles();
    if (files.isEmpty()) return;
    QFileDialog dialog(this, Msg(QStringLiteral("@ExportTitle")), AppContext().programFolder,
                       QStringLiteral("*.pgn"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("PGN"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString target = dialog.selectedFiles().first();
    bool overwrite = true;
    if (QFileInfo::exists(target)) overwrite = AskOverwrite(this, target);

    std::vector<std::string> names;
    for (const QString& f : files)
        names.push_back(SU(f));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const pgn::TListExportResult r =
        pgn::ListExportToFile(SU(AppContext().gamesFolder), names, SU(target), overwrite);
    QApplication::restoreOverrideCursor();
    // The loader's own messages for games left out, then the write failure
    // (if any), then the closing count.
    for (size_t i = 0; i + 1 < r.Messages.size(); ++i)
        Tell(this, QMessageBox::Critical, BoxTitle(), QU(r.Messages[i]));
    if (!r.Write.Ok)
        Tell(this, QMessageBox::Critical, BoxTitle(),
             Msg(QStringLiteral("@ErrorWriting")) + QStringLiteral(" : ") + QU(r.Write.Error));
    Tell(this, QMessageBox::Information, BoxTitle(),
         QString::number(files.size()) + QLatin1Char(' ') + Msg(QStringLiteral("@GamesExported")));
}

} // namespace quorel::ui
