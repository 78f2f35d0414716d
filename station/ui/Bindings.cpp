#include "Bindings.h"

#include "common/Control.h"
#include "common/LiveFields.h"
#include "common/NumberText.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSet>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace Bindings
{

void mirrorColours(const Control &model, QWidget *widget)
{
    if (!model.backColor().isValid() && !model.foreColor().isValid())
        return;
    QString style;
    if (model.backColor().isValid())
        style += QStringLiteral("background-color: %1;").arg(model.backColor().name());
    if (model.foreColor().isValid())
        style += QStringLiteral("color: %1;").arg(model.foreColor().name());
    if (widget->styleSheet() != style)
        widget->setStyleSheet(style);
}

namespace
{

void mirrorCommon(Control &model, QWidget *widget)
{
    widget->setEnabled(model.isEnabled());
    mirrorColours(model, widget);
}

// Runs a refresh at once, then at most once a tick: refreshes asked for during a tick run
// together at its end, so the window lays out and repaints once for all of them, and the last
// value of a burst is always shown. A tick with nothing asked for ends the quiet spell.
class RefreshPacer : public QObject
{
public:
    RefreshPacer(std::function<void(int)> refresh, QObject *parent)
        : QObject(parent), refresh_(std::move(refresh))
    {
        tick_.setInterval(PaceMs);
        connect(&tick_, &QTimer::timeout, this, &RefreshPacer::refreshPending);
    }
    void request(int key)
    {
        if (!tick_.isActive()) {
            refresh_(key);
            tick_.start();
        } else {
            pending_.insert(key);
        }
    }

private:
    static constexpr int PaceMs = 100;
    void refreshPending()
    {
        if (pending_.isEmpty()) {
            tick_.stop();
            return;
        }
        const QSet<int> due = std::exchange(pending_, {});
        for (int key : due)
            refresh_(key);
    }

    std::function<void(int)> refresh_;
    QSet<int> pending_;
    QTimer tick_;
};

// One connection per set of live fields routes each change to the labels of that field
// alone: with hundreds of bound labels, every label filtering every change costs more than
// drawing them.
class FieldRouter : public QObject
{
public:
    static FieldRouter &of(LiveFields &fields)
    {
        auto *found = fields.findChild<QObject *>(QLatin1String(Name), Qt::FindDirectChildrenOnly);
        return found ? *static_cast<FieldRouter *>(found) : *new FieldRouter(fields);
    }
    void onChange(int index, QObject *owner, std::function<void()> run)
    {
        changed_[index].push_back({owner, std::move(run)});
    }
    void onStateChange(int index, QObject *owner, std::function<void()> run)
    {
        stateChanged_[index].push_back({owner, std::move(run)});
    }
    // A change shown at once, then at most once a tick. One tick for all labels: their new
    // texts land together, so the window lays out and repaints once, not once per label.
    void onChangePaced(int index, QObject *owner, std::function<void()> run)
    {
        paced_[index].push_back({owner, std::move(run)});
    }

private:
    static constexpr const char *Name = "liveFieldRouter";
    struct Handler {
        QPointer<QObject> owner;
        std::function<void()> run;
    };
    using Table = QHash<int, std::vector<Handler>>;

    explicit FieldRouter(LiveFields &fields) : QObject(&fields)
    {
        setObjectName(QLatin1String(Name));
        connect(&fields, &LiveFields::changed, this, [this](int i) {
            dispatch(changed_, i);
            pace(i);
        });
        connect(&fields, &LiveFields::stateChanged, this,
                [this](int i) { dispatch(stateChanged_, i); });
    }
    void pace(int index)
    {
        if (paced_.contains(index))
            pacer_.request(index);
    }
    static void dispatch(Table &table, int index)
    {
        const auto found = table.find(index);
        if (found == table.end())
            return;
        std::vector<Handler> &handlers = *found;
        handlers.erase(std::remove_if(handlers.begin(), handlers.end(),
                                      [](const Handler &h) { return h.owner.isNull(); }),
                       handlers.end());
        const std::vector<Handler> current = handlers; // a handler may bind further labels
        for (const Handler &h : current)
            if (!h.owner.isNull())
                h.run();
    }

    Table changed_, stateChanged_, paced_;
    RefreshPacer pacer_{[this](int index) { dispatch(paced_, index); }, this};
};

} // namespace

void visibility(Control &model, QWidget *widget)
{
    auto sync = [&model, widget] {
        widget->setVisible(model.isVisible());
        mirrorCommon(model, widget);
    };
    QObject::connect(&model, &Control::changed, widget, sync);
    sync();
}

void label(Control &model, QLabel *widget)
{
    auto sync = [&model, widget] {
        widget->setText(model.text());
        widget->setVisible(model.isVisible());
        mirrorCommon(model, widget);
    };
    QObject::connect(&model, &Control::changed, widget, sync);
    sync();
}

// Text reaches the model however it got into the field: typed, pasted, undone, from an input
// method or set by assistive technology and automation, which emit textChanged only.
void lineEdit(Control &model, QLineEdit *widget)
{
    auto mirroring = std::make_shared<bool>(false);
    auto sync = [&model, widget, mirroring] {
        if (widget->text() != model.text()) {
            *mirroring = true;
            widget->setText(model.text());
            *mirroring = false;
        }
        widget->setVisible(model.isVisible());
        mirrorCommon(model, widget);
    };
    QObject::connect(&model, &Control::changed, widget, sync);
    QObject::connect(widget, &QLineEdit::textChanged, &model,
                     [&model, mirroring](const QString &text) {
                         if (!*mirroring)
                             model.setText(text);
                     });
    sync();
}

void checkable(Control &model, QAbstractButton *widget)
{
    auto sync = [&model, widget] {
        const QSignalBlocker block(widget);
        widget->setChecked(model.isChecked());
        widget->setVisible(model.isVisible());
        mirrorCommon(model, widget);
    };
    QObject::connect(&model, &Control::changed, widget, sync);
    QObject::connect(widget, &QAbstractButton::toggled, &model,
                     [&model](bool on) { model.setChecked(on); });
    sync();
}

void button(Control &model, QAbstractButton *widget)
{
    auto sync = [&model, widget] {
        if (!model.text().isEmpty())
            widget->setText(model.text());
        widget->setVisible(model.isVisible());
        mirrorCommon(model, widget);
    };
    QObject::connect(&model, &Control::changed, widget, sync);
    sync();
}

// Typed text is taken as typed: no inline completion turns "10" into "1000", and Enter adds
// nothing to the list.
void comboBox(Control &model, QComboBox *widget)
{
    widget->setEditable(true);
    widget->setCompleter(nullptr);
    widget->setInsertPolicy(QComboBox::NoInsert);
    auto sync = [&model, widget] {
        const QSignalBlocker block(widget);
        QStringList current;
        for (int i = 0; i < widget->count(); ++i)
            current << widget->itemText(i);
        if (current != model.items()) {
            widget->clear();
            widget->addItems(model.items());
        }
        if (widget->currentText() != model.text())
            widget->setEditText(model.text());
        widget->setVisible(model.isVisible());
        mirrorCommon(model, widget);
    };
    QObject::connect(&model, &Control::changed, widget, sync);
    QObject::connect(widget->lineEdit(), &QLineEdit::textEdited, &model,
                     [&model](const QString &text) { model.setText(text); });
    QObject::connect(widget, &QComboBox::activated, &model,
                     [&model, widget](int index) { model.choose(widget->itemText(index)); });
    // Text set without typing (assistive technology, automation) is taken as typed, once the
    // event that set it is over: a choice from the list changes the text before `activated`
    // tells it was a choice, and must stay a choice.
    QObject::connect(widget->lineEdit(), &QLineEdit::textChanged, &model, [&model, widget] {
        QTimer::singleShot(0, widget, [&model, widget] {
            if (widget->currentText() != model.text())
                model.setText(widget->currentText());
        });
    });
    sync();
}

QString shownFieldText(const QString &text, int decimals)
{
    // The device's "not yet read" mark and the design texts of the history event's fields.
    static const QStringList unread = {QString::fromLatin1(LiveFields::NotYetRead),
                                       QStringLiteral("2000/00/00"), QStringLiteral("888.88")};
    if (unread.contains(text))
        return QStringLiteral("\u2014");
    double value = 0;
    if (decimals >= 0 && NumberText::parseNumber(text, &value))
        return NumberText::fixed(value, decimals);
    return text;
}

std::function<void()> paced(QObject *owner, std::function<void()> refresh)
{
    auto *pacer = new RefreshPacer([refresh](int) { refresh(); }, owner);
    return [pacer] { pacer->request(0); };
}

void onFieldChange(LiveFields &fields, int index, QObject *owner, std::function<void()> run)
{
    FieldRouter::of(fields).onChange(index, owner, std::move(run));
}

void onFieldStateChange(LiveFields &fields, int index, QObject *owner, std::function<void()> run)
{
    FieldRouter::of(fields).onStateChange(index, owner, std::move(run));
}

// A value that changes a hundred times a second is shown at once and then at most ten times a
// second: the eye reads no faster, and every new text lays out and repaints its panel.
void liveField(LiveFields &fields, int index, QLabel *widget, int decimals)
{
    auto longest = std::make_shared<int>(0);
    auto sync = [&fields, index, widget, decimals, longest] {
        const QString text = shownFieldText(fields.text(index), decimals);
        widget->setText(text);
        widget->setVisible(fields.isVisible(index));
        // A label of fixed width widens for a text of more characters than any before (only
        // then measured, since measuring lays the text out); digits are all of one width.
        if (text.size() <= *longest)
            return;
        *longest = int(text.size());
        const bool fixedWidth = widget->minimumWidth() == widget->maximumWidth();
        if (fixedWidth && widget->sizeHint().width() > widget->maximumWidth())
            widget->setFixedWidth(widget->sizeHint().width());
    };
    FieldRouter &router = FieldRouter::of(fields);
    router.onChangePaced(index, widget, sync);
    router.onStateChange(index, widget, sync);
    sync();
}

} // namespace Bindings
