#pragma once

#include <QWidget>

class CheckControl;
class LinkBench;
class ListControl;
class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class TextControl;

// The tool's window: widgets named as the form's controls, mirroring the core's models and
// forwarding clicks to its handlers.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    explicit Form1(LinkBench &linkBench, QWidget *parent = nullptr);

    QLabel *Label1;
    QLineEdit *Text2;
    QPushButton *Command1;
    QPushButton *Command3;
    QListWidget *List1;
    QPlainTextEdit *Text7;
    QPushButton *Command6;
    QPlainTextEdit *Text5;
    QLabel *Label2;
    QLineEdit *Text3;
    QLineEdit *Text4;
    QPushButton *Command2;
    QPushButton *Command4;
    QPlainTextEdit *Text6;
    QPushButton *Command5;
    QLineEdit *send_in_msec;
    QPushButton *botton_interval;
    QPlainTextEdit *Text8;
    QRadioButton *Option1;
    QRadioButton *Option2;
    QLabel *Label3[2];
    QCheckBox *Check1;

private:
    void createControls();
    QLayout *sides();
    QLayout *modeRow();
    void bindServerSide();
    void bindClientSide();
    void bindModes();

    void bindLine(QLineEdit *edit, TextControl &model);
    void bindSendBox(QPlainTextEdit *edit, TextControl &model);
    void bindLog(QPlainTextEdit *edit, TextControl &model);
    void bindCaption(QPushButton *button, TextControl &model);
    void bindChecked(QAbstractButton *button, CheckControl &model);
    void bindList(QListWidget *list, ListControl &model);

    LinkBench &bench;
};
