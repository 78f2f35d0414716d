#include "Form1.h"

#include "LinkBench.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace
{

const QString hexEntryHint = QStringLiteral("16 進位輸入方式: F0 FF (二個字元之間需用空白分隔)");

int heightOfLines(const QWidget *widget, int lines)
{
    return widget->fontMetrics().lineSpacing() * lines + 12;
}

QPlainTextEdit *sendBox()
{
    auto *box = new QPlainTextEdit;
    box->setFixedHeight(heightOfLines(box, 3));
    return box;
}

QPlainTextEdit *logBox()
{
    auto *box = new QPlainTextEdit;
    box->setMinimumHeight(heightOfLines(box, 8));
    box->setReadOnly(true);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setFont(QFont(QStringLiteral("monospace")));
    return box;
}

QHBoxLayout *row(std::initializer_list<QWidget *> widgets)
{
    auto *layout = new QHBoxLayout;
    for (QWidget *widget : widgets)
        layout->addWidget(widget);
    return layout;
}

} // namespace

Form1::Form1(LinkBench &linkBench, QWidget *parent) : QWidget(parent), bench(linkBench)
{
    setWindowTitle(QStringLiteral("linkbench - TCP test tool"));
    createControls();
    auto *form = new QVBoxLayout(this);
    form->addLayout(sides(), 1);
    form->addLayout(modeRow());
    bindServerSide();
    bindClientSide();
    bindModes();
    resize(900, 600);
}

void Form1::createControls()
{
    Label1 = new QLabel(QStringLiteral("Server:"));
    Text2 = new QLineEdit;
    Command1 = new QPushButton(QStringLiteral("Listen"));
    Command3 = new QPushButton(QStringLiteral("Close"));
    List1 = new QListWidget;
    Text7 = sendBox();
    Command6 = new QPushButton(QStringLiteral("Send"));
    Text5 = logBox();
    Label2 = new QLabel(QStringLiteral("Client:"));
    Text3 = new QLineEdit;
    Text4 = new QLineEdit;
    Command2 = new QPushButton;
    Command4 = new QPushButton(QStringLiteral("Close"));
    Text6 = sendBox();
    Command5 = new QPushButton(QStringLiteral("Send"));
    send_in_msec = new QLineEdit;
    botton_interval = new QPushButton;
    Text8 = logBox();
    Option1 = new QRadioButton(QStringLiteral("ASCII"));
    Option2 = new QRadioButton(QStringLiteral("16進位"));
    Check1 = new QCheckBox(QStringLiteral("forward"));
    for (QLabel *&hint : Label3) {
        hint = new QLabel(hexEntryHint);
        hint->setWordWrap(true);
    }
    Text2->setMaximumWidth(80);
    Text4->setMaximumWidth(80);
    send_in_msec->setMaximumWidth(80);
    List1->setFixedHeight(heightOfLines(List1, 4));
}

// The two sides share the grid's rows, so that their hints and logs line up.
QLayout *Form1::sides()
{
    auto *grid = new QGridLayout;
    QHBoxLayout *listen = row({Label1, Text2, Command1, Command3});
    listen->addStretch();
    grid->addLayout(listen, 0, 0);
    grid->addWidget(List1, 1, 0);
    grid->addLayout(row({Text7, Command6}), 2, 0);
    grid->addWidget(Label3[0], 3, 0);
    grid->addWidget(Text5, 4, 0);

    grid->addLayout(row({Label2, Text3, Text4, Command2, Command4}), 0, 1);
    grid->addLayout(row({Text6, Command5}), 1, 1);
    QHBoxLayout *periodic = row({send_in_msec, new QLabel(QStringLiteral("ms")), botton_interval});
    periodic->addStretch();
    grid->addLayout(periodic, 2, 1, Qt::AlignTop);
    grid->addWidget(Label3[1], 3, 1);
    grid->addWidget(Text8, 4, 1);

    grid->setRowStretch(4, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    return grid;
}

QLayout *Form1::modeRow()
{
    QHBoxLayout *modes = row({Option1, Option2, Check1});
    modes->addStretch();
    return modes;
}

void Form1::bindServerSide()
{
    bindLine(Text2, bench.Text2);
    bindList(List1, bench.List1);
    bindSendBox(Text7, bench.Text7);
    bindLog(Text5, bench.Text5);
    connect(Command1, &QPushButton::clicked, &bench, &LinkBench::Command1_Click);
    connect(Command3, &QPushButton::clicked, &bench, &LinkBench::Command3_Click);
    connect(Command6, &QPushButton::clicked, &bench, &LinkBench::Command6_Click);
}

void Form1::bindClientSide()
{
    bindLine(Text3, bench.Text3);
    bindLine(Text4, bench.Text4);
    bindCaption(Command2, bench.Command2);
    bindSendBox(Text6, bench.Text6);
    bindLine(send_in_msec, bench.send_in_msec);
    bindCaption(botton_interval, bench.botton_interval);
    bindLog(Text8, bench.Text8);
    connect(Command2, &QPushButton::clicked, &bench, &LinkBench::Command2_Click);
    connect(Command4, &QPushButton::clicked, &bench, &LinkBench::Command4_Click);
    connect(Command5, &QPushButton::clicked, &bench, &LinkBench::Command5_Click);
    connect(botton_interval, &QPushButton::clicked, &bench, &LinkBench::botton_interval_Click);
}

void Form1::bindModes()
{
    bindChecked(Option1, bench.Option1);
    bindChecked(Option2, bench.Option2);
    bindChecked(Check1, bench.Check1);
    connect(Option1, &QRadioButton::clicked, &bench, &LinkBench::Option1_Click);
    connect(Option2, &QRadioButton::clicked, &bench, &LinkBench::Option2_Click);
    connect(Check1, &QCheckBox::toggled, &bench.Check1, &CheckControl::setChecked);
}

void Form1::bindLine(QLineEdit *edit, TextControl &model)
{
    edit->setText(model.text());
    connect(edit, &QLineEdit::textEdited, &model, &TextControl::setText);
    connect(&model, &TextControl::textChanged, edit, [edit](const QString &text) {
        if (edit->text() != text)
            edit->setText(text);
    });
}

void Form1::bindSendBox(QPlainTextEdit *edit, TextControl &model)
{
    edit->setPlainText(model.text());
    connect(edit, &QPlainTextEdit::textChanged, &model,
            [edit, &model] { model.setText(edit->toPlainText()); });
    connect(&model, &TextControl::textChanged, edit, [edit](const QString &text) {
        if (edit->toPlainText() != text)
            edit->setPlainText(text);
    });
}

// The logs hold CR LF line ends, as sent; the box shows them as plain line breaks.
void Form1::bindLog(QPlainTextEdit *edit, TextControl &model)
{
    const auto show = [edit](const QString &text) {
        edit->setPlainText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    };
    show(model.text());
    connect(&model, &TextControl::textChanged, edit, show);
}

void Form1::bindCaption(QPushButton *button, TextControl &model)
{
    button->setText(model.text());
    connect(&model, &TextControl::textChanged, button, &QPushButton::setText);
}

void Form1::bindChecked(QAbstractButton *button, CheckControl &model)
{
    button->setChecked(model.isChecked());
    connect(&model, &CheckControl::checkedChanged, button, [button](bool checked) {
        const QSignalBlocker quiet(button);
        button->setChecked(checked);
    });
}

void Form1::bindList(QListWidget *list, ListControl &model)
{
    const auto showRows = [list, &model] {
        const QSignalBlocker quiet(list);
        list->clear();
        list->addItems(model.rows());
        list->setCurrentRow(model.listIndex());
    };
    showRows();
    connect(&model, &ListControl::rowsChanged, list, showRows);
    connect(&model, &ListControl::listIndexChanged, list, [list](int index) {
        const QSignalBlocker quiet(list);
        list->setCurrentRow(index);
    });
    connect(list, &QListWidget::currentRowChanged, &model, &ListControl::setListIndex);
}
