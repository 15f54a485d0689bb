// Message boxes over QMessageBox, with the answer queue used by tests.
#include "MessageBox.h"

#include "AppEvents.h"
#include "AppProfile.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <deque>
#include <mutex>

namespace {

struct BoxRecord
{
    std::mutex mutex;
    std::deque<int> nextAnswers;
    QString lastText;
    QString lastCaption;
    MessageIcon lastIcon = MessageIcon::None;
    MessageBox::Buttons lastButtons = MessageBox::Ok;
    int shown = 0;
};

BoxRecord& Record()
{
    static BoxRecord record;
    return record;
}

QMessageBox::Icon ToQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(MessageBox::Buttons buttons)
{
    switch (buttons) {
    case MessageBox::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageBox::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageBox::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageBox::Ok:
        break;
    }
    return QMessageBox::Ok;
}

int ToAnswer(int qtButton, MessageBox::Buttons buttons)
{
    switch (qtButton) {
    case QMessageBox::Ok:
        return MessageBox::kOk;
    case QMessageBox::Cancel:
        return MessageBox::kCancel;
    case QMessageBox::Yes:
        return MessageBox::kYes;
    case QMessageBox::No:
        return MessageBox::kNo;
    default:
        break;
    }
    // Closed without a button: the answer a box of this kind gives to Esc.
    switch (buttons) {
    case MessageBox::Ok:
        return MessageBox::kOk;
    case MessageBox::YesNo:
        return MessageBox::kNo;
    default:
        return MessageBox::kCancel;
    }
}

QWidget* DefaultParent()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

} // namespace

int MessageBox::Show(QWidget* parent, const QString& text, MessageIcon icon, Buttons buttons,
                     const QString& caption)
{
    const QString title = caption.isEmpty() ? ApplicationCaption() : caption;
    BoxRecord& record = Record();
    {
        std::lock_guard<std::mutex> lock(record.mutex);
        record.lastText = text;
        record.lastCaption = title;
        record.lastIcon = icon;
        record.lastButtons = buttons;
        ++record.shown;
        if (!record.nextAnswers.empty()) {
            const int answer = record.nextAnswers.front();
            record.nextAnswers.pop_front();
            return answer;
        }
    }
    QMessageBox box(ToQtIcon(icon), title, text, ToQtButtons(buttons), parent ? parent : DefaultParent());
    if (buttons == YesNo) {
        box.setEscapeButton(QMessageBox::No);
    }
    const int pressed = box.exec();
    return ToAnswer(pressed, buttons);
}

QString MessageBox::ApplicationCaption()
{
    return QString::fromLatin1(AppProfile::kApplication);
}

void MessageBox::SetNextAnswer(int answer)
{
    std::lock_guard<std::mutex> lock(Record().mutex);
    Record().nextAnswers.push_back(answer);
}

void MessageBox::ClearNextAnswers()
{
    std::lock_guard<std::mutex> lock(Record().mutex);
    Record().nextAnswers.clear();
}

int MessageBox::PendingAnswers()
{
    std::lock_guard<std::mutex> lock(Record().mutex);
    return static_cast<int>(Record().nextAnswers.size());
}

QString MessageBox::LastText()
{
    std::lock_guard<std::mutex> lock(Record().mutex);
    return Record().lastText;
}

QString MessageBox::LastCaption()
{
    std::lock_guard<std::mutex> lock(Record().mutex);
    return Record().lastCaption;
}

MessageIcon MessageBox::LastIcon()
{
    std::lock_guard<std::mutex> lock(Record().mutex);
    return Record().lastIcon;
}

MessageBox::Buttons MessageBox::LastButtons()
{
    std::lock_guard<std::mutex> lock(Record().mutex);
    return Record().lastButtons;
}

int MessageBox::ShownCount()
{
    std::lock_guard<std::mutex> lock(Record().mutex);
    return Record().shown;
}

void InstallWidgetMessageBoxHook(std::function<bool()> shouldAbort)
{
    SetMessageBoxHook([shouldAbort](const QString& text, MessageIcon icon) -> int {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return 0;
        if (QThread::currentThread() == app->thread())
            return MessageBox::Show(nullptr, text, icon);
        // The request runs on the UI thread while this thread waits; once it
        // has started, SendBlocking waits for its end, so answer outlives it.
        int answer = 0;
        const bool ran = SendBlocking(
            app, [&answer, &text, icon] { answer = MessageBox::Show(nullptr, text, icon); }, shouldAbort);
        return ran ? answer : 0;
    });
}
