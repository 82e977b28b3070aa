// SPDX-License-Identifier: GPL-3.0-or-later
#include "textfit.h"

#include <QFontMetricsF>
#include <QLabel>

namespace res {
namespace {

constexpr qreal kSmallestPointSize = 6.0;
constexpr qreal kStep = 0.5;

bool Fits(const QLabel* label, const QFont& font) {
    const QFontMetricsF metrics(font);
    const QRectF box = label->contentsRect();
    if (!label->wordWrap())
        return metrics.horizontalAdvance(label->text()) <= box.width() &&
               metrics.height() <= box.height() + 1;
    const QRectF needed =
        metrics.boundingRect(box, Qt::TextWordWrap | int(label->alignment()), label->text());
    return needed.width() <= box.width() && needed.height() <= box.height();
}

} // namespace

QFont FitLabelText(QLabel* label) {
    QFont font = label->font();
    if (Fits(label, font))
        return font;
    qreal size = font.pointSizeF() > 0 ? font.pointSizeF() : 9.0;
    while (size - kStep >= kSmallestPointSize) {
        size -= kStep;
        font.setPointSizeF(size);
        if (Fits(label, font))
            break;
    }
    label->setFont(font);
    return font;
}

} // namespace res
