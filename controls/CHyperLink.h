// A clickable text link: link, visited and hover colours, underlined while
// the mouse is over it, a hand cursor, a tooltip with its target, sized to
// its text, and opened with the desktop when clicked.
#pragma once

#include <QBasicTimer>
#include <QColor>
#include <QFont>
#include <QLabel>

class CHyperLink : public QLabel
{
    Q_OBJECT

public:
    // Underline modes.
    static constexpr int kUnderlineNever = 0;
    static constexpr int kUnderlineAlways = 1;
    static constexpr int kUnderlineHover = -1;
    // The hover timer's interval in milliseconds.
    static constexpr int kHoverInterval = 100;
    // Show command passed to GotoURL.
    static constexpr int SW_SHOW = 5;

    explicit CHyperLink(const QString& text = QString(), QWidget* parent = nullptr);

    // Stores the target; once the link is set up, sizes it to its text and
    // updates the tooltip.
    void SetURL(const QString& url);
    QString GetURL() const { return m_strURL; }

    void SetColours(const QColor& link, const QColor& visited, const QColor& hover);
    void SetVisited(bool visited);
    bool IsVisited() const { return m_bVisited; }
    bool IsHovered() const { return m_bOver; }
    void SetUnderline(int mode);
    void SetAutoSize(bool on);
    // The colour the text is drawn in now.
    QColor CurrentColour() const;

    // The text for an open result that is not a success, and the whole
    // message box text ("Unable to open hyperlink:\n\n" and that text).
    static QString ErrorText(int result);
    static QString FailureText(int result);

    // Sets the link up now (it happens on its own before it is first shown):
    // an empty target becomes the text and an empty text the target, the
    // fonts, the size, the cursor and the tooltip.
    void SetUp();

    // Opens the target as a click does; true when it opened.
    bool Open();

protected:
    // Opens url with the desktop. A result above 32 is success; 2 a missing
    // local file or no usable target; 31 no application to open it with.
    virtual int GotoURL(const QString& url, int showCmd);

    bool event(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void SizeToText();
    void ApplyLook();
    void EndHover();
    void ReportError(int result);

    QColor m_crLink{0, 0, 238};
    QColor m_crVisited{85, 26, 139};
    QColor m_crHover{255, 0, 0};
    bool m_bOver = false;
    bool m_bVisited = false;
    int m_nUnderline = kUnderlineHover;
    bool m_bAutoSize = true;
    QString m_strURL;
    QFont m_fontNormal;
    QFont m_fontUnderline;
    QBasicTimer m_hoverTimer;
    bool m_bSetUp = false;
    bool m_bApplying = false;
};
