#include "uitest_util.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <deque>

#include "ui/boardview/chessdiagram.h"
#include "ui/common/appcontext.h"

namespace uitest {

using namespace quorel;

TempProgram::TempProgram() {
    QDir(dir_.path()).mkpath(QStringLiteral("games"));
    ui::TAppContext& ctx = ui::AppContext();
    ctx = ui::TAppContext{};
    ctx.programFolder = Program();
    ctx.gamesFolder = Games();
    ctx.userName = QStringLiteral("Ana Souto");
    ctx.emailAddress = QStringLiteral("ana@example.org");
    ctx.userCountry = QStringLiteral("ESP");
}

void TempProgram::WriteGame(const QString& name, chess::TGameRecord rec) const {
    const chess::TSaveResult r =
        chess::SaveToFile(Games().toStdString(), name.toStdString(), rec, "");
    if (!r.Ok) throw std::runtime_error("cannot write test game");
}

std::string TempProgram::ReadFile(const QString& name) const {
    QFile f(QDir(Games()).filePath(name));
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray b = f.readAll();
    return std::string(b.constData(), size_t(b.size()));
}

void TempProgram::CopySample(const QString& name) const {
    QFile::copy(QStringLiteral(QUOREL_SOURCE_DIR "/docs/samples/sample.qrl"),
                QDir(Games()).filePath(name));
    QFile(QDir(Games()).filePath(name)).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

struct ModalAnswers::State {
    std::deque<std::function<void(QWidget*)>> handlers;
    QPointer<QWidget> last;
    QTimer timer;
};

ModalAnswers::ModalAnswers() : state_(std::make_shared<State>()) {
    std::weak_ptr<State> weak = state_;
    state_->timer.setInterval(10);
    QObject::connect(&state_->timer, &QTimer::timeout, [weak] {
        auto s = weak.lock();
        if (!s || s->handlers.empty()) return;
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w == s->last || !w->isVisible()) return;
        s->last = w;
        auto handler = std::move(s->handlers.front());
        s->handlers.pop_front();
        handler(w);
    });
    state_->timer.start();
}

ModalAnswers::~ModalAnswers() {
    state_->timer.stop();
}

void ModalAnswers::Then(std::function<void(QWidget*)> handler) {
    state_->handlers.push_back(std::move(handler));
}

void ModalAnswers::Press(QMessageBox::StandardButton button) {
    Then([this, button](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box) {
            texts_ << QStringLiteral("<not a message box: %1>").arg(w->metaObject()->className());
            w->close();
            return;
        }
        texts_ << box->text();
        if (QAbstractButton* b = box->button(button))
            b->click();
        else
            box->reject();
    });
}

int ModalAnswers::Pending() const {
    return int(state_->handlers.size());
}

chess::TGameRecord GameFromEPD(const std::string& epd) {
    chess::TGameRecord rec = chess::TGameRecord::NewGame();
    chess::TChessPosition pos;
    chess::TBoardRecord board{};
    if (!pos.MakeBoardFromEPD(epd, board)) throw std::runtime_error("bad EPD " + epd);
    rec.Board = board;
    rec.SetupPosition = 1;
    rec.SetupEPD = epd;
    rec.SetupWhiteFirst = pos.WhiteOnMove() ? 1 : 0;
    rec.Result = "*";
    return rec;
}

void Drag(ui::TChessDiagram* board, int from, int to) {
    const QPoint half(board->SquareSize() / 2, board->SquareSize() / 2);
    const QPoint a = board->SquareOrigin(from) + half;
    const QPoint b = board->SquareOrigin(to) + half;
    QTest::mousePress(board, Qt::LeftButton, {}, a);
    QTest::mouseMove(board, (a + b) / 2);
    QTest::mouseMove(board, b);
    QTest::mouseRelease(board, Qt::LeftButton, {}, b);
}

} // namespace uitest
