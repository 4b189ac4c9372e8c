#include "framework/qt/DialogUnits.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

namespace {

// Installed CJK faces, most SimSun-like metrics first.
const char* const kCjkFallbacks[] = {
    "Noto Sans CJK SC",    "Noto Serif CJK SC", "WenQuanYi Zen Hei",
    "WenQuanYi Micro Hei", "AR PL UMing CN",    "Droid Sans Fallback",
};

// The platform averages the width of the 52 Latin letters.
constexpr char kAverageSample[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kAverageSampleLength = static_cast<int>(sizeof kAverageSample - 1);
constexpr int kUnitsPerCharX = 4;
constexpr int kUnitsPerCharY = 8;

// a * b / c rounded half away from zero, as the platform's MulDiv.
int MulDiv(int a, int b, int c)
{
    const long long p = static_cast<long long>(a) * b;
    const long long q = p >= 0 ? (p + c / 2) / c : (p - c / 2) / c;
    return static_cast<int>(q);
}

}  // namespace

QFont DialogFont(std::string_view face, int points)
{
    const QString wanted = QString::fromUtf8(face.data(), static_cast<qsizetype>(face.size()));
    const QStringList installed = QFontDatabase::families();
    QString family = wanted;
    if (!installed.contains(wanted)) {
        for (const char* candidate : kCjkFallbacks) {
            if (installed.contains(QLatin1String(candidate))) {
                family = QLatin1String(candidate);
                break;
            }
        }
    }
    QFont font(family);
    font.setPointSize(points);
    return font;
}

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics fm(font);
    const int sampleWidth = fm.horizontalAdvance(QLatin1String(kAverageSample));
    m_baseX = (sampleWidth + kAverageSampleLength / 2) / kAverageSampleLength;
    m_baseY = fm.height();
}

int DialogUnits::X(int units) const { return MulDiv(units, m_baseX, kUnitsPerCharX); }
int DialogUnits::Y(int units) const { return MulDiv(units, m_baseY, kUnitsPerCharY); }

QRect DialogUnits::MapDialogRect(const res::DlgRect& r) const
{
    // Position and size are mapped one by one, as the platform creates a
    // template's controls.
    return QRect(X(r.x), Y(r.y), X(r.cx), Y(r.cy));
}
