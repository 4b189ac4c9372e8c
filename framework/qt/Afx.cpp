// Application-wide services on Qt: the title, message boxes, start-up.
#include "framework/Afx.h"

#include "framework/qt/DialogUnits.h"
#include "framework/qt/Impl.h"
#include "framework/qt/Native.h"
#include "res/DialogTemplates.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QSpacerItem>
#include <QStyle>
#include <QTranslator>

namespace {

QMessageBox::Icon IconOf(UINT nType)
{
    switch (nType & MB_ICONMASK) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONASTERISK: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// Room beside the caption in a title bar: the window icon and the close,
// maximise and minimise buttons, each about as wide as the bar is high.
constexpr int kTitleBarButtons = 4;

// Widens the box to its caption, as Windows sizes its own: a short text
// alone would make it so narrow that the window manager cuts the caption.
// QMessageBox fixes its own size, so the room is a spacer in its layout.
void FitCaption(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);  // as most window managers draw it
    const int titleBar = box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
    const int width =
        QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleBarButtons * titleBar;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

}  // namespace

CString AfxGetAppName()
{
    return FromQString(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
}

int ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, UINT nType)
{
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon(IconOf(nType));
    if ((nType & MB_TYPEMASK) == MB_OKCANCEL) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    box.setDefaultButton(QMessageBox::Ok);
    FitCaption(box);
    return box.exec() == QMessageBox::Cancel ? IDCANCEL : IDOK;
}

int AfxMessageBox(const CString& text, UINT nType)
{
    // Boxes with OK or OK/Cancel and no icon of their own get the exclamation.
    if ((nType & MB_ICONMASK) == 0)
        nType |= MB_ICONEXCLAMATION;
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner)
        owner = QApplication::activeWindow();
    return ShowMessageBox(owner, ToQString(text), ToQString(AfxGetAppName()), nType);
}

void AfxWinInit()
{
    static QTranslator qtbase;
    if (qtbase.isEmpty()
        && qtbase.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                       QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&qtbase);
    }
    QApplication::setFont(DialogFont(res::kDialogFontFace, res::kDialogFontPoints));
}
