// The hyperlink control.
#include "CHyperLink.h"

#include "MessageBox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QStyle>
#include <QTimerEvent>
#include <QUrl>

namespace {

// Results of opening a target.
constexpr int kOpened = 33;
constexpr int kFileNotFound = 2;
constexpr int kNoAssociation = 31;

// The background of the link: the button face when the palette's is light,
// else a light one of its own, so the fixed link colours keep their
// contrast under dark themes.
QColor LightFace(const QPalette& palette)
{
    const QColor face = palette.color(QPalette::Button);
    return face.lightness() >= 160 ? face : QColor(240, 240, 240);
}

} // namespace

CHyperLink::CHyperLink(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setMouseTracking(true);
    setTextFormat(Qt::PlainText);
    setAutoFillBackground(true);
}

void CHyperLink::SetURL(const QString& url)
{
    m_strURL = url;
    if (!m_bSetUp)
        return;
    SizeToText();
    setToolTip(m_strURL);
}

void CHyperLink::SetColours(const QColor& link, const QColor& visited, const QColor& hover)
{
    m_crLink = link;
    m_crVisited = visited;
    m_crHover = hover;
    ApplyLook();
}

void CHyperLink::SetVisited(bool visited)
{
    m_bVisited = visited;
    ApplyLook();
}

void CHyperLink::SetUnderline(int mode)
{
    m_nUnderline = mode;
    ApplyLook();
}

void CHyperLink::SetAutoSize(bool on)
{
    m_bAutoSize = on;
    if (m_bSetUp)
        SizeToText();
}

QColor CHyperLink::CurrentColour() const
{
    if (m_bOver)
        return m_crHover;
    return m_bVisited ? m_crVisited : m_crLink;
}

QString CHyperLink::ErrorText(int result)
{
    switch (result) {
    case 0:
        return QStringLiteral("The operating system is out\nof memory or resources.");
    case 2:
        return QStringLiteral("The specified file was not found.");
    case 3:
        return QStringLiteral("The specified path was not found.");
    case 5:
        return QStringLiteral("The operating system denied\naccess to the specified file.");
    case 8:
        return QStringLiteral("There was not enough memory to complete the operation.");
    case 11:
        return QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26:
        return QStringLiteral("A sharing violation occurred. ");
    case 27:
        return QStringLiteral("The filename association is\nincomplete or invalid.");
    case 28:
        return QStringLiteral("The DDE transaction could not\nbe completed because the request timed out.");
    case 29:
        return QStringLiteral("The DDE transaction failed.");
    case 30:
        return QStringLiteral("The DDE transaction could not\nbe completed because other DDE "
                              "transactions\nwere being processed.");
    case 31:
        return QStringLiteral("There is no application associated\nwith the given filename extension.");
    case 32:
        return QStringLiteral("The specified dynamic-link library was not found.");
    default:
        return QString::asprintf("Unknown Error (%d) occurred.", result);
    }
}

QString CHyperLink::FailureText(int result)
{
    return QStringLiteral("Unable to open hyperlink:\n\n") + ErrorText(result);
}

void CHyperLink::SetUp()
{
    if (m_bSetUp)
        return;
    m_bSetUp = true;
    if (m_strURL.isEmpty())
        m_strURL = text();
    if (text().isEmpty())
        setText(m_strURL);
    m_fontNormal = font();
    m_fontUnderline = m_fontNormal;
    m_fontUnderline.setUnderline(true);
    ApplyLook();
    SizeToText();
    setCursor(Qt::PointingHandCursor);
    setToolTip(m_strURL);
}

bool CHyperLink::Open()
{
    m_bOver = false;
    ApplyLook();
    const QString target = m_strURL.isEmpty() ? text() : m_strURL;
    const int result = GotoURL(target, SW_SHOW);
    if (result > 32) {
        m_bVisited = true;
        ApplyLook();
        return true;
    }
    ReportError(result);
    return false;
}

int CHyperLink::GotoURL(const QString& url, int showCmd)
{
    Q_UNUSED(showCmd);
    const QString target = url.trimmed();
    if (target.isEmpty())
        return kFileNotFound;
    const QUrl resolved = QUrl::fromUserInput(target, QDir::currentPath(), QUrl::AssumeLocalFile);
    if (!resolved.isValid())
        return kFileNotFound;
    if (resolved.isLocalFile() && !QFileInfo::exists(resolved.toLocalFile()))
        return kFileNotFound;
    // The desktop only says whether it opened the target.
    return QDesktopServices::openUrl(resolved) ? kOpened : kNoAssociation;
}

bool CHyperLink::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Polish:
        SetUp();
        break;
    case QEvent::FontChange:
        // A new font for the control: the link fonts follow it.
        if (m_bSetUp && !m_bApplying) {
            m_fontNormal = font();
            m_fontNormal.setUnderline(false);
            m_fontUnderline = m_fontNormal;
            m_fontUnderline.setUnderline(true);
            ApplyLook();
        }
        break;
    default:
        break;
    }
    return QLabel::event(event);
}

void CHyperLink::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_bOver && rect().contains(event->position().toPoint())) {
        m_bOver = true;
        ApplyLook();
        m_hoverTimer.start(kHoverInterval, this);
    }
    QLabel::mouseMoveEvent(event);
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        event->accept();
        Open();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void CHyperLink::leaveEvent(QEvent* event)
{
    if (m_bOver)
        EndHover();
    QLabel::leaveEvent(event);
}

void CHyperLink::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_hoverTimer.timerId()) {
        QLabel::timerEvent(event);
        return;
    }
    // Backup for a leave the window system did not report.
    if (!rect().contains(mapFromGlobal(QCursor::pos())))
        EndHover();
}

void CHyperLink::SizeToText()
{
    if (!m_bAutoSize)
        return;
    const QFontMetrics metrics(m_fontNormal);
    const QSize textSize = metrics.size(0, text());
    const QSize border = size() - contentsRect().size() + QSize(2 * margin(), 2 * margin());
    const QSize newSize = textSize + border;
    const QRect old = geometry();
    const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
    int x = old.x();
    if (align & Qt::AlignHCenter)
        x = old.x() + (old.width() - newSize.width()) / 2;
    else if (align & Qt::AlignRight)
        x = old.x() + old.width() - newSize.width();
    const int y = (align & Qt::AlignVCenter) ? old.y() + (old.height() - newSize.height()) / 2 : old.y();
    setGeometry(QRect(QPoint(x, y), newSize));
}

void CHyperLink::ApplyLook()
{
    QPalette look = palette();
    look.setColor(QPalette::WindowText, CurrentColour());
    look.setColor(QPalette::Window, LightFace(QApplication::palette(this)));
    setPalette(look);
    if (!m_bSetUp)
        return;
    const bool underline = m_nUnderline == kUnderlineAlways || (m_nUnderline == kUnderlineHover && m_bOver);
    m_bApplying = true;
    setFont(underline ? m_fontUnderline : m_fontNormal);
    m_bApplying = false;
    update();
}

void CHyperLink::EndHover()
{
    m_hoverTimer.stop();
    m_bOver = false;
    ApplyLook();
}

void CHyperLink::ReportError(int result)
{
    QApplication::beep();
    MessageBox::Show(window(), FailureText(result), MessageIcon::Warning);
}
