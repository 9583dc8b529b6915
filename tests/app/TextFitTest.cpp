// Every text the panel shows is whole and legible with the fonts installed on
// this machine: each label, group caption, check box, button, tab caption,
// combo-box item, spin-edit value, fixed text box and the splash text fits its
// control, is not cut off by a parent and is not covered by a picture or
// another text. Checked for every model after its read-back, stopped and
// running, with every error text the status poll can show; and the splash
// form and the port dialog.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTest>

#include <optional>

#include "window/MessageForm.h"
#include "settings/PanelFixture.h"
#include "serial/PickPort.h"
#include "scheduling/StatusPoll.h"
#include "widgets/PlusSpinEdit.h"

namespace {

QString NameOf(const QWidget* w)
{
    QString name = w->objectName();
    for (const QWidget* p = w->parentWidget(); name.isEmpty() && p; p = p->parentWidget())
        name = p->objectName().isEmpty()
                   ? QString()
                   : p->objectName() + QStringLiteral("/") + QString::fromLatin1(w->metaObject()->className());
    return name;
}

// Where a line of text puts ink when it is drawn aligned in `area`.
QRect InkRect(const QFontMetrics& fm, const QRect& area, Qt::Alignment align, const QString& text)
{
    const QRect box = QStyle::alignedRect(Qt::LeftToRight, align, QSize(fm.horizontalAdvance(text), fm.height()), area);
    return fm.tightBoundingRect(text).translated(box.left(), box.top() + fm.ascent());
}

// The ink of a text label, in its own coordinates; empty for a picture.
QRect LabelInk(const QLabel* l)
{
    if (l->text().isEmpty() || l->movie() || !l->pixmap().isNull())
        return {};
    const int m = l->margin();
    return InkRect(l->fontMetrics(), l->contentsRect().adjusted(m, m, -m, -m), l->alignment(), l->text());
}

class TextChecker {
public:
    QStringList Faults;

    // Walks every shown widget of `root`, with each page of each page
    // control brought to the front in turn.
    void Walk(QWidget* root)
    {
        const auto tabs = root->findChildren<QTabWidget*>();
        int most = 1;
        for (QTabWidget* t : tabs)
            most = std::max(most, static_cast<int>(t->count()));
        QHash<QTabWidget*, int> current;
        for (QTabWidget* t : tabs)
            current[t] = t->currentIndex();
        for (int page = 0; page < most; ++page) {
            for (QTabWidget* t : tabs)
                if (page < t->count() && t->isTabVisible(page))
                    t->setCurrentIndex(page);
            if (!tabs.isEmpty())
                QCoreApplication::processEvents();
            CheckShown(root);
        }
        for (QTabWidget* t : tabs)
            t->setCurrentIndex(current[t]);
    }

private:
    void Fault(const QWidget* w, const QString& text, const QString& what)
    {
        const QString line = QStringLiteral("%1 \"%2\": %3").arg(NameOf(w), text, what);
        if (!Faults.contains(line))
            Faults << line;
    }

    // The text needs `need` pixels across and `height` down in `area`, and
    // draws its ink at `ink`, all in w's coordinates.
    void Expect(const QWidget* w, const QString& text, int need, int height, const QRect& area, const QRect& ink)
    {
        if (need > area.width())
            Fault(w, text, QStringLiteral("needs %1 px, has %2").arg(need).arg(area.width()));
        if (height > area.height())
            Fault(w, text, QStringLiteral("needs %1 px high, has %2").arg(height).arg(area.height()));
        if (const QWidget* by = ClippedBy(w, ink))
            Fault(w, text, QStringLiteral("cut off by %1").arg(NameOf(by)));
        if (const QWidget* by = CoveredBy(w, ink))
            Fault(w, text, QStringLiteral("touched or covered by %1").arg(NameOf(by)));
    }
    void ExpectLine(const QWidget* w, const QString& text, const QRect& area, Qt::Alignment align)
    {
        const QFontMetrics fm = w->fontMetrics();
        Expect(w, text, fm.horizontalAdvance(text), fm.height(), area, InkRect(fm, area, align, text));
    }

    // The first widget, w or one of its parents, whose edges cut `r`.
    static const QWidget* ClippedBy(const QWidget* w, QRect r)
    {
        for (; w; w = w->parentWidget()) {
            if (!w->rect().contains(r))
                return w;
            if (w->isWindow())
                break;
            r.translate(w->pos());
        }
        return nullptr;
    }

    // A shown widget drawn over the ink `r` of w, or less than a pixel away:
    // w's own children and the later siblings of w and of its parents. Texts
    // over texts count by their ink; any other widget by its whole area.
    static const QWidget* CoveredBy(const QWidget* w, QRect r)
    {
        const QRect near = r.adjusted(-1, -1, 1, 1);
        auto covers = [&](const QWidget* other, const QRect& inParent) {
            if (!other->isVisible())
                return false;
            const auto* l = qobject_cast<const QLabel*>(other);
            if (l && !l->autoFillBackground() && !l->movie() && l->pixmap().isNull())
                return LabelInk(l).translated(other->pos()).intersects(inParent);
            return other->geometry().intersects(inParent);
        };
        for (const QObject* o : w->children())
            if (const auto* child = qobject_cast<const QWidget*>(o); child && !child->isWindow() && covers(child, near))
                return child;
        QRect here = near;
        for (; w && !w->isWindow(); w = w->parentWidget()) {
            here.translate(w->pos());
            const QObjectList& siblings = w->parentWidget()->children();
            for (qsizetype i = siblings.indexOf(w) + 1; i < siblings.size(); ++i)
                if (const auto* s = qobject_cast<const QWidget*>(siblings[i]); s && !s->isWindow() && covers(s, here))
                    return s;
        }
        return nullptr;
    }

    void CheckShown(QWidget* root)
    {
        QList<QWidget*> all = root->findChildren<QWidget*>();
        all.prepend(root);
        for (QWidget* w : all) {
            if (!w->isVisible())
                continue;
            if (auto* l = qobject_cast<QLabel*>(w))
                Check(l);
            else if (auto* b = qobject_cast<QAbstractButton*>(w))
                Check(b);
            else if (auto* g = qobject_cast<QGroupBox*>(w))
                Check(g);
            else if (auto* t = qobject_cast<QTabBar*>(w))
                Check(t);
            else if (auto* c = qobject_cast<QComboBox*>(w))
                Check(c);
            else if (auto* v = qobject_cast<QListWidget*>(w))
                Check(v);
            else if (auto* e = qobject_cast<QTextEdit*>(w))
                Check(e);
            else if (auto* s = qobject_cast<TPlusSpinEdit*>(w))
                Check(s);
        }
    }

    void Check(const QLabel* l)
    {
        if (LabelInk(l).isEmpty())
            return;
        const int m = l->margin();
        ExpectLine(l, l->text(), l->contentsRect().adjusted(m, m, -m, -m), l->alignment());
    }

    void Check(const QAbstractButton* b)
    {
        if (b->text().isEmpty() || b->parentWidget()->inherits("TSpinButton"))
            return;
        QStyleOptionButton opt;
        opt.initFrom(b);
        opt.text = b->text();
        const auto* push = qobject_cast<const QPushButton*>(b);
        const bool icon = push && !push->icon().isNull();
        if (icon) {
            opt.icon = push->icon();
            opt.iconSize = push->iconSize();
        }
        const QRect area =
            b->style()->subElementRect(push ? QStyle::SE_PushButtonContents : QStyle::SE_CheckBoxContents, &opt, b);
        const QFontMetrics fm = b->fontMetrics();
        const int need = fm.horizontalAdvance(b->text()) + (icon ? opt.iconSize.width() + 4 : 0);
        const Qt::Alignment align = push ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter;
        Expect(b, b->text(), need, fm.height(), area, InkRect(fm, area, align, b->text()));
    }

    void Check(const QGroupBox* g)
    {
        if (g->title().isEmpty())
            return;
        QStyleOptionGroupBox opt;
        opt.initFrom(g);
        opt.text = g->title();
        opt.lineWidth = 1;
        opt.textAlignment = g->alignment();
        opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect title = g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
        ExpectLine(g, g->title(), title, Qt::AlignCenter);
    }

    void Check(const QTabBar* t)
    {
        for (int i = 0; i < t->count(); ++i) {
            if (!t->isTabVisible(i))
                continue;
            QStyleOptionTab opt;
            opt.initFrom(t);
            opt.rect = t->tabRect(i);
            opt.text = t->tabText(i);
            opt.shape = t->shape();
            opt.documentMode = t->documentMode();
            ExpectLine(t, t->tabText(i), t->style()->subElementRect(QStyle::SE_TabBarTabText, &opt, t),
                       Qt::AlignCenter);
        }
    }

    // Each item, once picked, and the text shown now fit the entry field.
    void Check(const QComboBox* c)
    {
        const QWidget* field = c;
        QRect area;
        if (const QLineEdit* edit = c->lineEdit()) {
            const QMargins m = edit->textMargins();
            area = edit->contentsRect().adjusted(2 + m.left(), m.top(), -2 - m.right(), -m.bottom());
            field = edit;
        } else {
            QStyleOptionComboBox opt;
            opt.initFrom(c);
            opt.editable = false;
            opt.frame = c->hasFrame();
            area = c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c);
        }
        QStringList texts{c->currentText()};
        for (int i = 0; i < c->count(); ++i)
            texts << c->itemText(i);
        for (const QString& text : texts)
            if (!text.isEmpty())
                ExpectLine(field, text, area, Qt::AlignLeft | Qt::AlignVCenter);
    }

    // Check-list items: box and letter within their cell.
    void Check(QListWidget* v)
    {
        for (int i = 0; i < v->count(); ++i) {
            QListWidgetItem* item = v->item(i);
            if (item->isHidden())
                continue;
            QStyleOptionViewItem opt;
            opt.initFrom(v);
            opt.font = v->font();
            opt.widget = v;
            const QModelIndex index = v->model()->index(i, 0);
            const QSize need = v->itemDelegate()->sizeHint(opt, index);
            const QRect cell = v->visualItemRect(item);
            const QRect ink(cell.topLeft(), QSize(need.width(), std::min(need.height(), cell.height())));
            Expect(v->viewport(), item->text(), need.width(), need.height(), cell, ink);
        }
    }

    // A read-only box whose scroll bar comes only when needed shows fixed
    // text: every line whole, without wrapping or scrolling. (The terminal's
    // traffic list scrolls by design and keeps its bar.)
    void Check(const QTextEdit* e)
    {
        if (!e->isReadOnly() || e->verticalScrollBarPolicy() != Qt::ScrollBarAsNeeded)
            return;
        const QTextDocument* doc = e->document();
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            if (b.layout() && b.layout()->lineCount() > 1)
                Fault(e, b.text(), QStringLiteral("wraps"));
        const QSizeF size = doc->documentLayout()->documentSize();
        const QSize view = e->viewport()->size();
        if (size.width() > view.width() || size.height() > view.height() || e->verticalScrollBar()->isVisible())
            Fault(e, doc->firstBlock().text(),
                  QStringLiteral("needs %1 x %2 px, has %3 x %4")
                      .arg(qCeil(size.width()))
                      .arg(qCeil(size.height()))
                      .arg(view.width())
                      .arg(view.height()));
    }

    // The value shown now and the widest the limits allow.
    void Check(const TPlusSpinEdit* s)
    {
        const QFontMetrics fm = s->fontMetrics();
        const QRect cr = s->contentsRect();
        const int stop = s->UpButton()->x() - s->DigitWidth() / 2;
        for (double v : {s->Value(), s->MinValue(), s->MaxValue()}) {
            QString text = QString::fromStdU16String(s->Model().FormatValue(v));
            text.replace(QChar(kSpinPlaceholder), QLatin1Char('0'));
            const int need = fm.horizontalAdvance(text);
            const QRect area(cr.left(), cr.top(), stop - cr.left(), cr.height());
            const QRect ink = InkRect(fm, area, Qt::AlignRight | Qt::AlignVCenter, text);
            Expect(s, text, need, fm.height(), area, ink);
        }
    }
};

// Checks the window of `watched` the first time `watched` receives an event
// of a type.
class TOnEvent : public QObject {
public:
    TOnEvent(QWidget* watched, QEvent::Type type) : FWatched(watched), FType(type)
    {
        watched->installEventFilter(this);
    }
    std::optional<QStringList> Faults;

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (o == FWatched && e->type() == FType && !Faults) {
            TextChecker checker;
            checker.Walk(FWatched->window());
            Faults = checker.Faults;
        }
        return false;
    }

private:
    QWidget* FWatched;
    QEvent::Type FType;
};

class PanelTexts : public Panel, public ::testing::WithParamInterface<const char*> {
protected:
    QStringList FaultsOfTheWindow()
    {
        TextChecker checker;
        checker.Walk(&form());
        return checker.Faults;
    }
};

}  // namespace

TEST_P(PanelTexts, EveryTextFitsItsControlStoppedRunningAndWithEachError)
{
    Connect(GetParam());
    form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
    QStringList faults = FaultsOfTheWindow();

    // Running: the pulse picture shows beside the feature caption.
    form().RunStopBtn->click();
    Sent();
    ASSERT_EQ(form().RunStopBtn->text().toStdString(), "Stop");
    faults << FaultsOfTheWindow();

    // Each error the generator can report, as the status poll shows it; a
    // read-back (Tools > Refresh) clears the one before.
    const struct {
        int Code;
        const char* Text;
    } errors[] = {{1, "Over Current Error"}, {2, "Over Temperature Error"}, {3, "Fan Failure"}};
    for (const auto& error : errors) {
        const int code = error.Code;
        generator->withGenerator([code](jt6400sim::Generator& g) { g.setErrorCode(code); });
        form().RefreshAction->trigger();
        Sent();
        program->StatusPoll().UpdateStatus();
        ASSERT_TRUE(Settle());
        ASSERT_EQ(form().ErrorLabel->text().toStdString(), error.Text) << "error code " << code;
        ASSERT_TRUE(form().ErrorLabel->isVisible());
        faults << FaultsOfTheWindow();
    }
    faults.removeDuplicates();
    EXPECT_TRUE(faults.isEmpty()) << faults.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Models, PanelTexts, ::testing::Values("6402", "6404", "6402+", "6404+", "6422", "6424"),
                         [](const auto& info) {
                             std::string name = info.param;
                             if (name.back() == '+')
                                 name.back() = 'P';
                             return "Model" + name;
                         });

TEST_F(Panel, TheSplashTextFitsItsForm)
{
    Connect("6404+");
    // Tools > Refresh shows the splash form for the whole read-back; it is
    // checked when it paints.
    TMessageForm& splash = app().MessageForm();
    TOnEvent painted(splash.MessageLabel, QEvent::Paint);
    form().RefreshAction->trigger();
    Sent();
    ASSERT_TRUE(painted.Faults.has_value());
    EXPECT_FALSE(splash.isVisible());
    EXPECT_TRUE(painted.Faults->isEmpty()) << painted.Faults->join('\n').toStdString();
}

TEST(PortDialog, EveryTextFitsItsControl)
{
    TformPickPort dialog;
    dialog.listPorts->addItems({"COM1", "COM128"});
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    TextChecker checker;
    checker.Walk(&dialog);
    EXPECT_TRUE(checker.Faults.isEmpty()) << checker.Faults.join('\n').toStdString();
}
