// The file list control: construction, threads, look, painting, mouse and
// keyboard, and the header menu. Rows, columns, sorting and editing are in
// the CReportCtrl*.cpp files beside this one.
#include "CReportCtrl.h"

#include "AppEvents.h"
#include "ReportCellEditor.h"
#include "ReportEmptyHint.h"
#include "ReportHeaderView.h"
#include "ReportListModel.h"
#include "TickCount.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <thread>

namespace {

thread_local CReportCtrl::WorkerRun* t_workerRun = nullptr;

QIcon ArrowIcon(bool up)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(96, 96, 96));
    QPainterPath path;
    if (up) {
        path.moveTo(8, 4);
        path.lineTo(13, 11);
        path.lineTo(3, 11);
    } else {
        path.moveTo(3, 5);
        path.lineTo(13, 5);
        path.lineTo(8, 12);
    }
    path.closeSubpath();
    painter.drawPath(path);
    painter.end();
    return QIcon(pixmap);
}

} // namespace

// ---- Worker runs

CReportCtrl::WorkerRun::WorkerRun(std::function<bool()> stopped)
    : m_stopped(std::move(stopped)), m_previous(t_workerRun)
{
    t_workerRun = this;
}

CReportCtrl::WorkerRun::~WorkerRun()
{
    t_workerRun = m_previous;
}

bool CReportCtrl::WorkerRun::CurrentStopped()
{
    for (const WorkerRun* run = t_workerRun; run; run = run->m_previous) {
        if (run->m_stopped && run->m_stopped())
            return true;
    }
    return false;
}

// ---- Construction

CReportCtrl::CReportCtrl(QWidget* parent) : QTreeView(parent)
{
    m_model = new ReportListModel(this);
    m_header = new ReportHeaderView(this);
    m_header->SetListModel(m_model);
    setHeader(m_header);
    setModel(m_model);

    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(0);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // The control's own editor replaces the view's: a delegate editor would
    // commit on focus loss and move by visual column on Tab.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setIconSize(QSize(16, 16));

    m_header->setStretchLastSection(false);
    m_header->setSectionsMovable(true);
    m_header->setFirstSectionMovable(true);
    m_header->setSectionsClickable(true);
    m_header->setMinimumSectionSize(8);
    m_header->setSectionResizeMode(QHeaderView::Interactive);
    m_header->setContextMenuPolicy(Qt::DefaultContextMenu);

    ApplyPalette();
    m_hintClock = [] { return GetTickCount(); };

    connect(m_header, &QHeaderView::sectionClicked, this, &CReportCtrl::HeaderClicked);
    connect(m_header, &QHeaderView::sectionMoved, this, &CReportCtrl::OnSectionMoved);
    connect(m_header, &QHeaderView::sectionResized, this, [this](int, int, int) {
        if (IsEditActive())
            PlaceEditor();
        if (m_bEmptyHint && m_model->StoredRows() == 0)
            viewport()->update();
    });
    connect(m_header, &ReportHeaderView::DividerPressed, this, [this](int) { CloseEditor(false); });
    connect(m_header, &ReportHeaderView::DividerDoubleClicked, this,
            [this](int section) { FitColumn(section); });
    connect(m_header, &ReportHeaderView::MenuRequested, this, &CReportCtrl::OnHeaderMenu);
    // Only the user's own scrolling ends an edit; the editor moves with the
    // rows when the list scrolls for any other reason.
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        connect(bar, &QAbstractSlider::actionTriggered, this, [this](int) { CloseEditor(false); });
    }

    auto invalidate = [this] { m_bSelectionKnown = false; };
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, invalidate);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, invalidate);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, invalidate);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, invalidate);
    connect(m_model, &QAbstractItemModel::modelReset, this, invalidate);
}

CReportCtrl::~CReportCtrl()
{
    // Carried-over calls that still wait see this and return without effect.
    m_bDestroying.store(true, std::memory_order_release);
    while (m_nCallsInside.load(std::memory_order_acquire) > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (IsEditActive())
        CloseEditor(false);
    // The view lets go of the model first, so nobody listening to the list
    // hears of rows going while the control is half destroyed; the rows and
    // the records they own go with the model.
    m_header->SetListModel(nullptr);
    setModel(nullptr);
    delete m_model;
    m_model = nullptr;
}

void CReportCtrl::ApplyPalette()
{
    // A light palette of the list's own, so that the fixed zebra and hint
    // colours keep their contrast under a dark desktop theme.
    QPalette pal = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, QColor(255, 255, 255));
        pal.setColor(group, QPalette::Window, QColor(255, 255, 255));
        pal.setColor(group, QPalette::Text, QColor(0, 0, 0));
        pal.setColor(group, QPalette::WindowText, QColor(0, 0, 0));
        pal.setColor(group, QPalette::AlternateBase, QColor(243, 245, 252));
    }
    pal.setColor(QPalette::Disabled, QPalette::Text, QColor(128, 128, 128));
    setPalette(pal);
}

// ---- Threads

bool CReportCtrl::OnUiThread() const
{
    return QThread::currentThread() == thread();
}

bool CReportCtrl::CarryOver(const std::function<void()>& work) const
{
    struct Inside
    {
        std::atomic<int>& count;
        explicit Inside(std::atomic<int>& c) : count(c) { count.fetch_add(1, std::memory_order_acq_rel); }
        ~Inside() { count.fetch_sub(1, std::memory_order_acq_rel); }
    } inside(m_nCallsInside);

    auto giveUp = [this] {
        return m_bDestroying.load(std::memory_order_acquire) || WorkerRun::CurrentStopped();
    };
    if (giveUp())
        return false;
    auto* self = const_cast<CReportCtrl*>(this);
    // work is referenced, not copied: SendBlocking runs it only while this
    // thread waits, and never after giving up.
    return SendBlocking(
        self, [&work] { work(); }, giveUp);
}

bool CReportCtrl::RefuseOffThread(const char* operation) const
{
    if (OnUiThread())
        return false;
    qWarning("CReportCtrl::%s called off the UI thread: ignored", operation);
    return true;
}

// ---- Creation and look

bool CReportCtrl::Create(QWidget* parent, int id, const QRect& rect)
{
    if (RefuseOffThread("Create"))
        return false;
    setParent(parent);
    setObjectName(QString::number(id));
    if (!rect.isNull())
        setGeometry(rect);
    else if (parent)
        setGeometry(parent->rect());
    show();
    return true;
}

void CReportCtrl::AddExtendedStyle(uint32_t style)
{
    m_dwExtendedStyle = style | 0x22u;
}

void CReportCtrl::SetRowImageList(const QList<QIcon>& images)
{
    if (RefuseOffThread("SetRowImageList"))
        return;
    m_model->SetRowImages(images);
    viewport()->update();
}

void CReportCtrl::SetHeaderImageList(const QList<QIcon>& images)
{
    if (RefuseOffThread("SetHeaderImageList"))
        return;
    m_header->SetImages(images);
}

QList<QIcon> CReportCtrl::SortArrowImages()
{
    return {QIcon(), ArrowIcon(true), ArrowIcon(false)};
}

void CReportCtrl::UseExplorerTheme()
{
    // The desktop's own style is the look here.
}

void CReportCtrl::SetHeaderClickable(bool on)
{
    if (RefuseOffThread("SetHeaderClickable"))
        return;
    m_header->setSectionsClickable(on);
    m_header->viewport()->update();
}

bool CReportCtrl::IsHeaderClickable() const
{
    return m_header->sectionsClickable();
}

void CReportCtrl::SetHeaderArrow(int column, int image, bool imageOnLeft)
{
    if (!OnUiThread()) {
        CarryOver([&] { DoSetHeaderArrow(column, image, imageOnLeft); });
        return;
    }
    DoSetHeaderArrow(column, image, imageOnLeft);
}

void CReportCtrl::DoSetHeaderArrow(int column, int image, bool imageOnLeft)
{
    if (!m_model->IsColumn(column))
        return;
    if (!m_header->HasImages())
        m_header->SetImages(m_model->RowImages());
    ReportColumn& c = m_model->Column(column);
    c.headerImage = image;
    c.imageOnLeft = imageOnLeft;
    m_header->RepaintSection(column);
}

int CReportCtrl::GetHeaderArrow(int column) const
{
    return m_model->IsColumn(column) ? m_model->Column(column).headerImage : -1;
}

void CReportCtrl::SetEmptyHint(bool on)
{
    if (RefuseOffThread("SetEmptyHint"))
        return;
    m_bEmptyHint = on;
    viewport()->update();
}

void CReportCtrl::SetHintClock(std::function<uint32_t()> clock)
{
    m_hintClock = clock ? std::move(clock) : std::function<uint32_t()>([] { return GetTickCount(); });
}

QLineEdit* CReportCtrl::Editor() const
{
    return m_pEditor;
}

size_t CReportCtrl::RowStoreBytes() const
{
    return m_model->RowStoreBytes();
}

// ---- Painting

void CReportCtrl::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    if (!m_bEmptyHint || m_model->StoredRows() != 0) {
        m_strLastHint.clear();
        return;
    }
    // The viewport lies below the header already.
    QPainter painter(viewport());
    m_strLastHint = HintText(HintIndexAt(m_hintClock()));
    PaintHint(painter, viewport()->rect(), m_strLastHint);
}

void CReportCtrl::scrollContentsBy(int dx, int dy)
{
    QTreeView::scrollContentsBy(dx, dy);
    if (m_bEmptyHint && m_model->StoredRows() == 0)
        viewport()->update();
}

void CReportCtrl::resizeEvent(QResizeEvent* event)
{
    QTreeView::resizeEvent(event);
    if (m_bEmptyHint)
        viewport()->update();
}

// ---- Keyboard and mouse

void CReportCtrl::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (event->key() == Qt::Key_Plus && (mods & Qt::KeypadModifier) && (mods & Qt::ControlModifier)) {
        FitColumn(-1);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Space && !IsEditActive()) {
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void CReportCtrl::mousePressEvent(QMouseEvent* event)
{
    OpenByMouse(event, false);
}

void CReportCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    OpenByMouse(event, true);
}

void CReportCtrl::OpenByMouse(QMouseEvent* event, bool doubleClick)
{
    const Qt::MouseButton button = event->button();
    const bool counted = button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton;
    const bool wasEditing = IsEditActive();
    if (counted && wasEditing)
        CloseEditor(true);

    const QModelIndex hit = indexAt(event->position().toPoint());
    const bool wasSelectedAndFocused =
        hit.isValid() &&
        (QueryRowState(hit.row()) & (ROW_SELECTED | ROW_FOCUSED)) == (ROW_SELECTED | ROW_FOCUSED);

    if (doubleClick)
        QTreeView::mouseDoubleClickEvent(event);
    else
        QTreeView::mousePressEvent(event);

    if (button != Qt::LeftButton || !m_bEditing || wasEditing || !wasSelectedAndFocused)
        return;
    const unsigned column = static_cast<unsigned>(hit.column());
    if (std::find(m_aEditableColumns.begin(), m_aEditableColumns.end(), column) == m_aEditableColumns.end())
        return;
    OpenEditor(hit.row(), hit.column());
}

void CReportCtrl::wheelEvent(QWheelEvent* event)
{
    CloseEditor(false);
    QTreeView::wheelEvent(event);
    if (m_bEmptyHint && m_model->StoredRows() == 0)
        viewport()->update();
}

// ---- Header menu

void CReportCtrl::FillHeaderMenu(QMenu& menu) const
{
    for (int c = 0; c < m_model->Columns(); ++c) {
        if (c == 3 || c == 12)
            menu.addSeparator();
        QAction* action = menu.addAction(m_model->Column(c).heading.left(511));
        action->setData(c);
        action->setCheckable(true);
        action->setChecked(IsColumnShown(c));
        action->setEnabled(c >= 2);
    }
}

void CReportCtrl::OnHeaderMenu(const QPoint& pos)
{
    QMenu menu(this);
    FillHeaderMenu(menu);
    emit HeaderMenuAboutToOpen(&menu);
    const QPointer<CReportCtrl> alive(this);
    QAction* chosen = menu.exec(m_header->viewport()->mapToGlobal(pos));
    if (alive && chosen)
        OnHeaderCommand(chosen->data().toInt());
}

void CReportCtrl::OnHeaderCommand(int id)
{
    if (!m_model->IsColumn(id))
        return;
    const bool shown = IsColumnShown(id);
    if (shown && id < 2)
        return;
    SetColumnShown(id, !shown);
}
