// Gallery page: hyperlinks as the about box has them, normal, hovered and
// visited.
#include "CHyperLink.h"
#include "Gallery.h"

#include <QLabel>

static void HyperLinkPage(GalleryContext& ctx)
{
    QWidget* window = ctx.NewWindow(QStringLiteral("Hyperlink"), QSize(320, 84));
    auto* homeLabel = new QLabel(QStringLiteral("Home page:"), window);
    homeLabel->setGeometry(12, 14, 90, 20);
    auto* home = new CHyperLink(QStringLiteral("www.example.org/tarnwick"), window);
    home->SetURL(QStringLiteral("https://www.example.org/tarnwick"));
    home->setGeometry(104, 14, 200, 20);
    auto* mailLabel = new QLabel(QStringLiteral("Support:"), window);
    mailLabel->setGeometry(12, 46, 90, 20);
    auto* mail = new CHyperLink(QStringLiteral("support@example.org"), window);
    mail->SetURL(QStringLiteral("mailto:support@example.org"));
    mail->setGeometry(104, 46, 200, 20);
    ctx.Shoot(window, QStringLiteral("hyperlink-normal"));

    if (ctx.Screenshots()) {
        ctx.Hover(home, QPoint(4, 4));
        ctx.Shoot(window, QStringLiteral("hyperlink-hovered"));
        ctx.Leave(home);
        mail->SetVisited(true);
        ctx.Shoot(window, QStringLiteral("hyperlink-visited"));
    }
}
GALLERY_PAGE("hyperlink", HyperLinkPage);
