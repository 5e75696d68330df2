#include "gui/dialog_units.h"

#include <algorithm>

#include <QComboBox>
#include <QFontMetrics>
#include <QRect>
#include <QString>
#include <QWidget>

#include "gui/system_menu.h"

namespace {

// The window layouts were drawn for an 8 point sans serif font.
constexpr int dialogFontPointSize = 8;

// Average width over the 52 letters, rounded: the measure the layouts were made against.
// A font's own "average" (its OS/2 table entry) counts digits and symbols too and runs
// wider for some families, which would stretch every window.
constexpr int letterCount = 52;
const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");

int toPixels(int units, int base, int unitsPerBase) {
    return (units * base + unitsPerBase / 2) / unitsPerBase;
}

} // namespace

QFont dialogFont() {
#if defined(_WIN32)
    // MS Sans Serif is a bitmap font. Qt files its sizes by their cell height (13 pixels for
    // 8 points) but asks Windows for that height as the letters' height, which gives the
    // 10-point size. Microsoft Sans Serif is the same face as an outline font, with the same
    // measures (dialog base units 6 x 13 at 8 points); Tahoma is the dialog font of Wine,
    // which has no Microsoft Sans Serif.
    QFont font;
    font.setFamilies(
        {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Tahoma"), QStringLiteral("MS Sans Serif")});
    font.setPointSize(dialogFontPointSize);
#else
    QFont font(QStringLiteral("Sans Serif"), dialogFontPointSize);
#endif
    font.setStyleHint(QFont::SansSerif);
    return font;
}

DialogBaseUnits dialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int x = (metrics.horizontalAdvance(letters) + letterCount / 2) / letterCount;
    return {x, metrics.height()};
}

void applyDialogUnits(QWidget& dialog) {
    const QFont font = dialogFont();
    dialog.setFont(font);
    const DialogBaseUnits base = dialogBaseUnits(font);
    const auto toPixelRect = [base](const QRect& r) {
        return QRect(toPixels(r.x(), base.x, 4), toPixels(r.y(), base.y, 8), toPixels(r.width(), base.x, 4),
                     toPixels(r.height(), base.y, 8));
    };
    for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QRect place = toPixelRect(child->geometry());
        // A drop-down list's height in the layout is that of its opened list; closed, it
        // is as tall as its font needs.
        if (auto* list = qobject_cast<QComboBox*>(child)) {
            const int itemHeight = list->sizeHint().height();
            list->setMaxVisibleItems(std::max(1, place.height() / itemHeight));
            place.setHeight(itemHeight);
        }
        child->setGeometry(place);
    }
    fixWindowSize(dialog, toPixelRect(QRect(QPoint(0, 0), dialog.size())).size());
}
