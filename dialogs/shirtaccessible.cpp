// SPDX-License-Identifier: GPL-3.0-or-later
#include "shirtaccessible.h"

#include "shirtimage.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDialog>

namespace shirt_a11y {
namespace {

// Texts only a screen reader gets; the string table keeps the layouts' captions only.
const char16_t kChooserName[] = u"Рубашка фишек";
const char16_t kPictureName[] = u"Рубашка %1";

// One picture of the chooser: an item of the set of fifteen, selected while framed.
class PictureAccessible final : public QAccessibleWidget {
public:
    explicit PictureAccessible(ShirtImage* picture)
        : QAccessibleWidget(picture, QAccessible::ListItem), selected_(picture->isBordered()) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = Picture()->isBordered();
        return s;
    }

    QStringList actionNames() const override { return {pressAction()}; }

    // Selecting a picture opens nothing, so the click runs at once.
    void doAction(const QString& actionName) override {
        if (actionName == pressAction() && widget()->isEnabled())
            emit Picture()->clicked();
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    // Tells a reader when the frame came or went since it last heard.
    void Refresh() {
        if (Picture()->isBordered() == selected_)
            return;
        selected_ = !selected_;
        QAccessible::State changed;
        changed.selected = true;
        QAccessibleStateChangeEvent notice(this, changed);
        QAccessible::updateAccessibility(&notice);
    }

private:
    ShirtImage* Picture() const { return static_cast<ShirtImage*>(widget()); }

    bool selected_;
};

QAccessibleInterface* Factory(const QString& key, QObject* object) {
    if (key == QLatin1String("ShirtImage"))
        return new PictureAccessible(static_cast<ShirtImage*>(object));
    return nullptr;
}

} // namespace

void SetUp(QDialog& chooser, const QList<ShirtImage*>& pictures) {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    Q_UNUSED(installed);
    // The title bar shows no text by design, so the dialog gets a name of its own.
    if (chooser.windowTitle().trimmed().isEmpty())
        chooser.setAccessibleName(QString::fromUtf16(kChooserName));
    for (int k = 0; k < pictures.size(); ++k)
        pictures[k]->setAccessibleName(QString::fromUtf16(kPictureName).arg(k + 1));
}

void SelectionChanged(const QList<ShirtImage*>& pictures) {
    if (!QAccessible::isActive())
        return;
    for (ShirtImage* picture : pictures)
        if (auto* iface =
                dynamic_cast<PictureAccessible*>(QAccessible::queryAccessibleInterface(picture)))
            iface->Refresh();
}

} // namespace shirt_a11y
