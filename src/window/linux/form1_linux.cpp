// SPDX-License-Identifier: MIT
#include "form1_linux.h"

#include "key_mapping_linux.h"
#include "menu_bar_linux.h"
#include "title_strip_linux.h"
#include "window/media_table.h"
#include "window/menu.h"

#include <QApplication>
#include <QFile>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <cstdio>
#include <cstdlib>

namespace tarvo::on_linux {

BannerDisplay::BannerDisplay(QWidget *parent) : QWidget(parent) {
    setGeometry(0, 0, 200, 50);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BannerDisplay::setPicture(const QPixmap &picture) {
    picture_ = picture; // shares the holder's pixmap: same cache key
    update();
}

void BannerDisplay::paintEvent(QPaintEvent *) {
    if (picture_.isNull()) return; // the stage's white shows through
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawPixmap(QRect(0, 0, 200, 50), picture_);
}

Stage::Stage(QWidget *parent) : QWidget(parent), surface_(200, 100, QImage::Format_RGB32) {
    surface_.fill(Qt::white);
    setFixedSize(200, 100);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Stage::copyCell(const QImage &sheet, int x1, int y1, int x2, int y2) {
    QPainter p(&surface_);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPoint(x1, y1), sheet, QRect(x2, y2, 50, 50));
    p.end();
    update(QRect(x1, y1, 50, 50));
}

void Stage::paintEvent(QPaintEvent *event) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRect r = event->rect();
    p.drawImage(r, surface_, r);
}

Form1::Form1() {
    setWindowTitle(QStringLiteral("TARVO"));
    setWindowIcon(QIcon(loadPicture(":/assets/icon.png")));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    ownTitleBar_ = NeedsOwnTitleBar();
    if (ownTitleBar_) TitleStrip::attach(this);
    setFocusPolicy(Qt::StrongFocus);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    stage_ = new Stage(this);
    setCentralWidget(stage_);
    image7_ = new BannerDisplay(stage_);

    // The first frame shows two figures from the sheet and an empty banner:
    // the banners are loaded once the window is up (showEvent), or when one
    // is first shown, should that come sooner.
    sheet_ = holder(Holder::Image1).toImage().convertToFormat(QImage::Format_RGB32);

    actions_ = BuildMenuBar(menuBar(), [this](MenuItem item) { Choose(item, duel_, *this); });
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    timer1_.setTimerType(Qt::PreciseTimer);
    timer1_.setInterval(100);
    connect(&timer1_, &QTimer::timeout, this, [this] { duel_.Timer1_Timer(); });
    timer1_.start();

    duel_.Form_Load();
}

Form1::~Form1() { timer1_.stop(); }

QPixmap Form1::loadPicture(const char *resource) {
    QPixmap pixmap;
    if (!pixmap.load(QString::fromLatin1(resource)))
        RaiseError("LoadPicture", std::string("cannot load the built-in picture ") + resource);
    return pixmap;
}

void Form1::DrawCell(int x1, int y1, int x2, int y2) { stage_->copyCell(sheet_, x1, y1, x2, y2); }

// A holder keeps its picture, untouched, for the window's life from its first
// use on.
const QPixmap &Form1::holder(Holder h) {
    QPixmap &held = holders_[size_t(h)];
    if (const char *name = kHolderPictures[size_t(h)]; name && held.isNull())
        held = loadPicture((":/assets/" + std::string(name) + ".bmp").c_str());
    return held;
}

void Form1::SetBanner(Holder holder) { image7_->setPicture(this->holder(holder)); }

bool Form1::BannerShows(Holder holder) {
    // A holder not loaded yet has never been shown.
    const QPixmap &shown = image7_->picture();
    const QPixmap &held = holders_[size_t(holder)];
    return !shown.isNull() && !held.isNull() && shown.cacheKey() == held.cacheKey();
}

bool Form1::Enabled(MenuItem item) { return actions_.at(item)->isEnabled(); }
void Form1::SetEnabled(MenuItem item, bool enabled) { actions_.at(item)->setEnabled(enabled); }
bool Form1::Checked(MenuItem item) { return actions_.at(item)->isChecked(); }
void Form1::SetChecked(MenuItem item, bool checked) { actions_.at(item)->setChecked(checked); }

void Form1::SetTimer1Enabled(bool enabled) {
    if (enabled) timer1_.start();
    else timer1_.stop();
}

void Form1::MessageBox(const std::u16string &text, const std::u16string &title) {
    QString body = QString::fromStdU16String(text);
    body.replace(QChar(13), QChar(10)); // a lone carriage return breaks the line, wrapped or not
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdU16String(title), body, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    if (ownTitleBar_) TitleStrip::attach(&box);
    box.exec();
    activateWindow();
    setFocus();
}

std::vector<std::uint8_t> Form1::LoadSoundResource(int id) {
    QFile f(QStringLiteral(":/assets/%1.wav").arg(id));
    if (!f.open(QIODevice::ReadOnly)) RaiseError("LoadSoundResource", "no built-in sound " + std::to_string(id));
    const QByteArray bytes = f.readAll();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

void Form1::PlaySoundFromMemory(const std::uint8_t *image, std::size_t size) { player_.play(image, size); }

void Form1::RaiseError(const std::string &operation, const std::string &reason) {
    timer1_.stop();
    player_.stop();
    const QString message = QStringLiteral("%1: %2").arg(QString::fromStdString(operation), QString::fromStdString(reason));
    std::fprintf(stderr, "tarvo: %s\n", qPrintable(message));
    std::fflush(stderr);
    QMessageBox::critical(isVisible() ? this : nullptr, QStringLiteral("TARVO"), message);
    std::_Exit(EXIT_FAILURE);
}

QImage Form1::stageImage() const { return stage_->grab().toImage().convertToFormat(QImage::Format_RGB32); }

void Form1::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    // Neither the sound player's library and connection nor the banners are
    // on the first frame: once the window is up, the player is made ready in
    // the background and the banners are loaded (the player at the first
    // sound, a banner when first shown, should either come sooner).
    QTimer::singleShot(50, this, [this] {
        player_.prepare();
        for (size_t i = 0; i < holders_.size(); ++i) holder(Holder(i));
    });
}

void Form1::keyPressEvent(QKeyEvent *event) {
    duel_.Form_KeyDown(KeyCodeOf(event->key()), ModifierMaskOf(event->key(), event->modifiers()));
}

} // namespace tarvo::on_linux
