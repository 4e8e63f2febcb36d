#include "ui/tform1.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>

#include "ui/image_control.h"
#include "ui/message_log.h"
#include "ui/qt_file_dialogs.h"
#include "ui/radio_group.h"
#include "ui/swatch_panel.h"

namespace colorsplit {

namespace {

// The design's outer size and place, in pixels.
constexpr QPoint kFormPlace(120, 99);
constexpr QSize kFormOuterSize(788, 528);

QFont FormFont() {
    QFont font;
    // The designed face first; where it is missing, faces that have Traditional Chinese.
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Noto Sans CJK TC"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("sans-serif")});
    font.setPixelSize(14);
    return font;
}

QPushButton* MakeButton(QWidget* parent, const char* text, const QRect& place) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setGeometry(place);
    return button;
}

}  // namespace

TForm1::TForm1(std::unique_ptr<FileDialog> openDialog, std::unique_ptr<FileDialog> saveDialog,
               QWidget* parent)
    : QWidget(parent),
      OpenPictureDialog1(openDialog ? std::move(openDialog) : MakeOpenPictureDialog(this)),
      SaveDialog1(saveDialog ? std::move(saveDialog) : MakeSaveDialog(this)),
      session_(*this, *OpenPictureDialog1, *SaveDialog1) {
    BuildControls();
    BindShortcuts();
    DescribeForScreenReaders();
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::BuildControls() {
    setWindowTitle(QStringLiteral("Form1"));
    setFont(FormFont());
    move(kFormPlace);
    resize(kFormOuterSize);

    Button1 = MakeButton(this, "開啟檔案", {640, 10, 92, 31});
    Button2 = MakeButton(this, "執行", {502, 49, 92, 31});
    Button3 = MakeButton(this, "離開", {640, 89, 92, 30});

    GroupBox1 = new QGroupBox(QStringLiteral("圖片"), this);
    GroupBox1->setGeometry(0, 10, 474, 395);
    Image1 = new ImageControl(GroupBox1);
    Image1->setGeometry(20, 30, 1575, 1181);

    Button4 = MakeButton(this, "儲存檔案", {640, 49, 90, 31});
    Button5 = MakeButton(this, "平均顏色", {502, 10, 92, 31});
    Button7 = MakeButton(this, "MASK", {502, 89, 92, 30});

    RadioGroup1 = new RadioGroup(QStringLiteral("Mask Color"),
                                 {QStringLiteral("color1"), QStringLiteral("color2"),
                                  QStringLiteral("color3"), QStringLiteral("color4")},
                                 this);
    RadioGroup1->setGeometry(650, 128, 80, 198);

    Memo1 = new MessageLog(this);
    Memo1->setGeometry(502, 345, 228, 99);
    Memo1->setPlainText(QStringLiteral("程式資訊"));

    GroupBox2 = new QGroupBox(QStringLiteral("選擇之顏色"), this);
    GroupBox2->setGeometry(502, 128, 139, 198);
    ColorInf = new ImageControl(GroupBox2);
    ColorInf->setGeometry(10, 20, kSwatchPanelWidth, kSwatchPanelHeight);
    swatches_.SetDevicePixelRatio(devicePixelRatioF());
    ClearSwatches();
    // The designed place puts the first row on the frame's line under the title; the rows
    // move down just clear of it, 30 pixels apart as designed.
    ColorInf->SetOffset(QPoint(0, std::max(0, GroupBox2->contentsRect().top() - ColorInf->y())));

    Vshift = new QScrollBar(Qt::Vertical, this);
    Vshift->setGeometry(473, 20, 21, 385);
    Hshift = new QScrollBar(Qt::Horizontal, this);
    Hshift->setGeometry(10, 414, 464, 20);
    for (QScrollBar* bar : {Vshift, Hshift}) {
        bar->setRange(0, 10);
        // One step per arrow click and per click in the track.
        bar->setSingleStep(1);
        bar->setPageStep(1);
        bar->setFocusPolicy(Qt::StrongFocus);
    }

    QWidget* tabOrder[] = {Button1, Button2,     Button3, GroupBox1, Button4, Button5,
                           Button7, RadioGroup1, Memo1,   GroupBox2, Vshift,  Hshift};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
    connect(Button7, &QPushButton::clicked, this, &TForm1::Button7Click);
    Image1->onMouseDown = [this](int x, int y) { Image1MouseDown(x, y); };
    // valueChanged fires on every real change, also while the thumb is dragged.
    connect(Hshift, &QScrollBar::valueChanged, this, &TForm1::HshiftChange);
    connect(Vshift, &QScrollBar::valueChanged, this, &TForm1::VshiftChange);
}

void TForm1::BindShortcuts() {
    // Standard keys for the buttons, without mnemonics so the captions stay as designed. Each
    // runs exactly its button's handler.
    const struct {
        QKeySequence keys;
        void (TForm1::*handler)();
    } bindings[] = {
        {QKeySequence::Open, &TForm1::Button1Click},
        {QKeySequence::Save, &TForm1::Button4Click},
        {QKeySequence(Qt::CTRL | Qt::Key_Q), &TForm1::Button3Click},
        {QKeySequence(Qt::Key_F5), &TForm1::Button2Click},
        {QKeySequence(Qt::CTRL | Qt::Key_M), &TForm1::Button7Click},
        {QKeySequence(Qt::CTRL | Qt::Key_E), &TForm1::Button5Click},
    };
    for (const auto& binding : bindings) {
        auto* shortcut = new QShortcut(binding.keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, binding.handler);
    }
    setAcceptDrops(true);
    // The log is a text box: left alone it would paste a dropped file's address as text.
    Memo1->viewport()->installEventFilter(this);
    Image1->installEventFilter(this);
    GroupBox1->installEventFilter(this);
}

void TForm1::DescribeForScreenReaders() {
    Image1->setAccessibleName(QStringLiteral("圖片"));
    Image1->setAccessibleDescription(QStringLiteral("點一下圖片選擇顏色;滾輪或捲軸移動圖片"));
    ColorInf->setAccessibleName(QStringLiteral("選擇之顏色"));
    Memo1->setAccessibleName(QStringLiteral("訊息"));
    Memo1->setAccessibleDescription(QStringLiteral("程式執行的每一步"));
    Vshift->setAccessibleName(QStringLiteral("上下移動圖片"));
    Hshift->setAccessibleName(QStringLiteral("左右移動圖片"));
}

namespace {

// The one local file a drag carries, or an empty string.
QString SingleLocalFile(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls())
        return QString();
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return QString();
    const QString path = urls.front().toLocalFile();
    return QFileInfo(path).isFile() ? path : QString();
}

}  // namespace

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!SingleLocalFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QString path = SingleLocalFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    OpenFile(path);
}

void TForm1::OpenFile(const QString& path) {
    Guard([this, &path] {
        // The mask reloads from this name whatever the working folder is by then.
        const std::string name = QFileInfo(path).absoluteFilePath().toStdString();
        // The open dialog starts here next time, as if the file had been chosen in it.
        OpenPictureDialog1->Choose(name);
        session_.OpenFile(name);
    });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            if (watched != Memo1->viewport())
                break;
            auto* drop = static_cast<QDropEvent*>(event);
            // Text still drops into the log as into any text box.
            if (SingleLocalFile(drop->mimeData()).isEmpty())
                break;
            drop->acceptProposedAction();
            if (event->type() == QEvent::Drop)
                dropEvent(drop);
            return true;
        }
        case QEvent::Wheel:
            if (watched != Image1 && watched != GroupBox1)
                break;
            ScrollByWheel(*static_cast<QWheelEvent*>(event));
            return true;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::ScrollByWheel(const QWheelEvent& event) {
    // A notch is 120; finer wheels and touchpads send parts of one, which add up. Shift turns
    // the wheel sideways, as a sideways wheel is. Down and right move forward.
    QPoint delta = event.angleDelta();
    if ((event.modifiers() & Qt::ShiftModifier) && delta.x() == 0)
        delta = QPoint(delta.y(), 0);
    wheelRest_ += delta;
    const int across = wheelRest_.x() / 120;
    const int down = wheelRest_.y() / 120;
    wheelRest_ -= QPoint(across, down) * 120;
    if (across != 0)
        Hshift->setValue(Hshift->value() - across);
    if (down != 0)
        Vshift->setValue(Vshift->value() - down);
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (placed_)
        return;
    placed_ = true;
    // Sharp swatches on whatever screen shows the window, also after a move to another.
    const auto followScreen = [this] {
        swatches_.SetDevicePixelRatio(devicePixelRatioF());
        SwatchesChanged();
    };
    followScreen();
    if (QWindow* window = windowHandle())
        connect(window, &QWindow::screenChanged, this, followScreen);
    // The design gives the outer size; take the frame the window manager adds, if any, off it.
    const QSize frame = frameGeometry().size() - geometry().size();
    if (frame.isValid() && !frame.isEmpty())
        resize(kFormOuterSize - frame);
}

void TForm1::SetErrorReporter(std::function<void(const QString&)> reporter) {
    errorReporter_ = std::move(reporter);
}

QStringList TForm1::LogLines() const {
    QStringList lines;
    for (QTextBlock block = Memo1->document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

template <class Handler>
void TForm1::Guard(Handler&& handler) noexcept {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowError(QString());
    }
}

void TForm1::ShowError(const QString& message) {
    if (errorReporter_) {
        errorReporter_(message);
        return;
    }
    QMessageBox::critical(this, QStringLiteral("colorsplit"), message);
}

void TForm1::FormCreate() {
    Guard([this] {
        session_.FormCreate();
        RadioGroup1->SetItemIndex(0);
        // No real change, so the picture stays at its designed place.
        Vshift->setValue(0);
        Hshift->setValue(0);
    });
}

void TForm1::Button1Click() {
    Guard([this] { session_.Button1Click(); });
}

void TForm1::Button2Click() {
    Guard([this] { session_.Button2Click(); });
}

void TForm1::Button3Click() {
    Guard([this] { close(); });
}

void TForm1::Button4Click() {
    Guard([this] { session_.Button4Click(); });
}

void TForm1::Button5Click() {
    Guard([this] { session_.Button5Click(); });
}

void TForm1::Button7Click() {
    Guard([this] { session_.Button7Click(RadioGroup1->ItemIndex()); });
}

void TForm1::Image1MouseDown(int x, int y) {
    Guard([this, x, y] { session_.Image1MouseDown(x, y); });
}

// The step is computed from the control's size, not the picture's, and the division
// (truncating) comes before the multiplication: 1575 wide moves 157 pixels a step.
void TForm1::HshiftChange() {
    Guard([this] {
        const int range = Hshift->maximum() - Hshift->minimum();
        Image1->move((-Image1->width() / range) * Hshift->value(), Image1->y());
    });
}

void TForm1::VshiftChange() {
    Guard([this] {
        const int range = Vshift->maximum() - Vshift->minimum();
        Image1->move(Image1->x(), (-Image1->height() / range) * Vshift->value());
    });
}

void TForm1::LogLine(const std::string& text) {
    Memo1->appendPlainText(QString::fromStdString(text));
}

void TForm1::ShowSwatch(int row, TColor c) {
    swatches_.Show(row, c);
    SwatchesChanged();
}

void TForm1::ClearSwatches() {
    // Outside what is drawn, the panel shows the window's own colour.
    swatches_.Clear(palette().color(QPalette::Window));
    SwatchesChanged();
}

void TForm1::SwatchesChanged() {
    ColorInf->setAccessibleDescription(swatches_.Description());
    ColorInf->SetImage(swatches_.Image());
}

void TForm1::PictureChanged() {
    Image1->SetImage(session_.ShownPicture().Image());
}

}  // namespace colorsplit
