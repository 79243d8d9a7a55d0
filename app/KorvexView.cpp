#include "KorvexView.h"

#include "KorvexApp.h"
#include "KorvexDoc.h"
#include "MainFrame.h"
#include "PrintSupport.h"
#include "formats/colourprofile.h"
#include "formats/messages.h"
#include "formats/safefile.h"
#include "formats/save.h"
#include "platform/folder.h"
#include "res/resources.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <ctime>

namespace {

// File dialogs and dropped URLs hand back decoded text, in which a byte that
// is not UTF-8 has become U+FFFD. Such a name is taken back to the one entry
// of its folder that decodes to it; when there is none or more than one, the
// text stands as it is.
std::string ChosenPath(const QString& chosen)
{
    const std::string encoded = QFile::encodeName(chosen).toStdString();
    const std::size_t slash = encoded.find_last_of('/');
    if (!chosen.contains(QChar::ReplacementCharacter) || slash == std::string::npos)
        return encoded;
    const std::string folder = encoded.substr(0, slash + 1);
    const QString name = chosen.mid(chosen.lastIndexOf(QLatin1Char('/')) + 1);
    std::vector<FolderEntry> entries;
    ReadFolder(folder, entries, FolderOrder::AsStored);
    std::string found;
    int matches = 0;
    for (const FolderEntry& entry : entries) {
        if (!entry.isDirectory && QFile::decodeName(QByteArray::fromStdString(entry.name)) == name) {
            found = folder + entry.name;
            ++matches;
        }
    }
    return matches == 1 ? found : encoded;
}

} // namespace

CKorvexView::CKorvexView(CKorvexDoc* doc, QWidget* parent)
    : QAbstractScrollArea(parent), m_fZoom(m_layout.zoom), m_nOffsetX(m_layout.offsetX),
      m_nOffsetY(m_layout.offsetY), m_nClientWidth(m_layout.clientWidth), m_nClientHeight(m_layout.clientHeight),
      m_pDocument(doc)
{
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    SetScrollSizes(100, 100);
    // Transparent pixels are shown over what surrounds the picture.
    SetAlphaBackground(palette().color(QPalette::Window).rgb() & 0xFFFFFFu);
    // A JPEG is decoded no larger than it is going to be drawn (a fitted
    // photo: at the size OnDraw draws it); whatever needs more decodes the
    // rest then.
    m_picture.m_shownSize = [this](int width, int height, int* shownWidth, int* shownHeight) {
        MeasureClient();
        ViewLayout fitted = m_layout;
        ::FitNewPicture(fitted, width, height);
        *shownWidth = static_cast<int>(double(width) * double(fitted.zoom));
        *shownHeight = static_cast<int>(double(height) * double(fitted.zoom));
    };

    // File New is never available: the one document lives for the whole run.
    OnUpdate(res::ID_FILE_NEW, [](CCmdUI& ui) { ui.Enable(false); });
    OnUpdate(res::ID_FILE_MRU_FILE1, [](CCmdUI& ui) { ui.Enable(false); });

    auto zoomRule = [this](CCmdUI& ui) { ui.Enable(PictureCommandsEnabled()); };
    OnCommand(res::ID_ZOOM_ORIGINAL, [this] { OnZoomActual(); });
    OnCommand(res::ID_ZOOM_FIT, [this] { OnZoomFit(); });
    OnCommand(res::ID_ZOOM_50, [this] { OnZoomFixed(0.5f); });
    OnCommand(res::ID_ZOOM_75, [this] { OnZoomFixed(0.75f); });
    OnCommand(res::ID_ZOOM_150, [this] { OnZoomFixed(1.5f); });
    OnCommand(res::ID_ZOOM_200, [this] { OnZoomFixed(2.0f); });
    OnCommand(res::ID_ZOOM_IN, [this] { OnZoomIn(); });
    OnCommand(res::ID_ZOOM_OUT, [this] { OnZoomOut(); });
    for (int id : {res::ID_ZOOM_ORIGINAL, res::ID_ZOOM_FIT, res::ID_ZOOM_50, res::ID_ZOOM_75, res::ID_ZOOM_150,
                   res::ID_ZOOM_200, res::ID_ZOOM_IN})
        OnUpdate(id, zoomRule);
    OnUpdate(res::ID_ZOOM_OUT, [this](CCmdUI& ui) { ui.Enable(PictureCommandsEnabled() && !(m_fZoom < 0.0f)); });
    OnCommand(res::ID_EFFECT_ON, [this] { OnEffectOnLoad(); });
    OnUpdate(res::ID_EFFECT_ON, [this](CCmdUI& ui) {
        ui.Enable(true);
        ui.SetCheck(m_bEffectsOff == 0 ? 1 : 0);
    });
    // File commands and paging.
    OnCommand(res::ID_FILE_OPEN, [this] { OnFileOpen(); });
    OnCommand(res::ID_FILE_SAVE, [this] { OnFileSaveAs(); });
    OnCommand(res::ID_FILE_SAVE_AS, [this] { OnFileSaveAs(); });
    OnCommand(res::ID_DELETE, [this] { OnDeletePicture(); });
    OnUpdate(res::ID_DELETE, [this](CCmdUI& ui) {
        ui.Enable(m_pDocument->m_bNoPicture != 1 && m_pDocument->m_nLast >= 0 && !(m_pFrame && m_pFrame->m_bSlideShow));
    });
    OnCommand(res::ID_OPEN_DEFAULT, [this] { OnOpenWithDefault(); });
    OnCommand(res::ID_OPEN_PAINT, [this] { OnOpenWithPaint(); });
    OnUpdate(res::ID_OPEN_DEFAULT, zoomRule);
    OnUpdate(res::ID_OPEN_PAINT, zoomRule);
    OnCommand(res::ID_PREV_PICTURE, [this] { StepPicture(-1); });
    OnCommand(res::ID_NEXT_PICTURE, [this] { StepPicture(+1); });
    OnUpdate(res::ID_PREV_PICTURE, [this](CCmdUI& ui) {
        ui.Enable(m_pDocument->m_nCurrent != 0 && m_pDocument->m_bNoPicture != 1);
    });
    auto nextRule = [this](CCmdUI& ui) {
        ui.Enable(m_pDocument->m_nCurrent != m_pDocument->m_nLast && m_pDocument->m_bNoPicture != 1 &&
                  m_pDocument->m_nLast >= 0);
    };
    OnUpdate(res::ID_NEXT_PICTURE, nextRule);
    // First and Last: Previous and Next all the way.
    OnCommand(res::ID_FIRST_PICTURE, [this] { StepPicture(-INT_MAX); });
    OnCommand(res::ID_LAST_PICTURE, [this] { StepPicture(INT_MAX); });
    OnUpdate(res::ID_FIRST_PICTURE, [this](CCmdUI& ui) {
        ui.Enable(m_pDocument->m_nCurrent != 0 && m_pDocument->m_bNoPicture != 1);
    });
    OnUpdate(res::ID_LAST_PICTURE, nextRule);
    // Full screen and the slideshow.
    OnCommand(res::ID_FULL_SCREEN, [this] { OnViewFullScreen(); });
    OnCommand(res::ID_SLIDE_START, [this] { OnSlideStart(); });
    OnCommand(res::ID_SLIDE_STOP, [this] { OnSlideStop(); });
    OnUpdate(res::ID_SLIDE_START, [this](CCmdUI& ui) {
        ui.Enable(PictureCommandsEnabled() && !(m_pFrame && m_pFrame->m_bSlideShow));
    });
    OnUpdate(res::ID_SLIDE_STOP, [this](CCmdUI& ui) {
        ui.Enable(PictureCommandsEnabled() && m_pFrame && m_pFrame->m_bSlideShow);
    });
    RegisterEffectCommands();
    m_pSlideTimer = new QTimer(this);
    m_pSlideTimer->setInterval(1000);
    connect(m_pSlideTimer, &QTimer::timeout, this, [this] { OnTimer(1111); });
    OnCommand(res::ID_FILE_PRINT, [this] { Print(true); });
    OnCommand(res::ID_FILE_PRINT_DIRECT, [this] { Print(false); });
    OnCommand(res::ID_FILE_PRINT_PREVIEW, [this] { PrintPreview(); });
}

bool CKorvexView::PictureCommandsEnabled() const
{
    return m_pDocument->m_bNoPicture != 1 && m_pDocument->m_bFolderEmptied == 0;
}

double CKorvexView::DevicePixelRatio() const
{
    return viewport()->devicePixelRatioF();
}

QSize CKorvexView::DeviceViewportSize() const
{
    const double ratio = DevicePixelRatio();
    const QSize vp = viewport()->size();
    return {int(std::lround(vp.width() * ratio)), int(std::lround(vp.height() * ratio))};
}

void CKorvexView::MeasureClient()
{
    const QSize client = DeviceViewportSize();
    m_nClientWidth = client.width();
    m_nClientHeight = client.height();
}

void CKorvexView::FitNewPicture()
{
    m_bFitWhilePlacing = m_pFrame && m_pFrame->FollowsWindowManager();
    MeasureClient();
    ::FitNewPicture(m_layout, m_picture.GetWidth(), m_picture.GetHeight());
    m_picture.m_nDisplayWidth = m_layout.displayWidth;
    m_picture.m_nDisplayHeight = m_layout.displayHeight;
}

void CKorvexView::CentreInClient()
{
    m_layout.displayWidth = m_picture.m_nDisplayWidth;
    m_layout.displayHeight = m_picture.m_nDisplayHeight;
    ::CentreInClient(m_layout);
}

void CKorvexView::ShowPictureInfo(const QString& path)
{
    if (!m_pFrame || !m_pFrame->StatusBar()) {
        AfxMessageBox("Can not get StatusBar pointer!");
        return;
    }
    const QString size = QString::asprintf("宽×高 = %d×%d", m_picture.GetWidth(), m_picture.GetHeight());
    const QString file = QString::asprintf("%.1f KB", double(m_picture.m_nFileSize) / 1024.0);
    const QString zoom = QString::asprintf("显示比例: %.3f", double(m_fZoom));
    m_pFrame->SetPaneText(0, path);
    m_pFrame->SetPaneText(1, zoom);
    m_pFrame->SetPaneText(2, file);
    m_pFrame->SetPaneText(3, size);
}

bool CKorvexView::OpenPicture(const QString& path)
{
    return OpenPath(ChosenPath(path));
}

bool CKorvexView::LoadAndShow(const std::string& path)
{
    StopEffect(); // it draws from the picture about to go
    m_picture.ReleaseImage();
    if (!m_picture.LoadFile(path, m_nOrientation, m_bDepthCheck ? 1 : 0)) {
        ShowNoPicture();
        return false;
    }
    ShowInfoAndPresent(path);
    return true;
}

void CKorvexView::ClearPictureInfo(int lastPane)
{
    if (!m_pFrame)
        return;
    m_pFrame->SetPaneText(0, QStringLiteral("未打开任何图像"));
    for (int pane = 1; pane <= lastPane; ++pane)
        m_pFrame->SetPaneText(pane, QString());
}

void CKorvexView::ShowNoPicture()
{
    // The reader has said why; the picture is empty now, so neither the view
    // nor the status bar may go on showing the one that was there.
    ClearPictureInfo(3);
    SetScrollSizes(100, 100);
    Invalidate();
}

void CKorvexView::ShowInfoAndPresent(const std::string& path)
{
    m_picture.MarkBitsBorrowed();
    FitNewPicture();
    ShowPictureInfo(DisplayPath(path));
    m_bEffectPending = 1;
    Invalidate();
}

bool CKorvexView::OpenPath(const std::string& path)
{
    CKorvexDoc* doc = m_pDocument;
    if (!LoadAndShow(path)) {
        // The list and the flags stay: only what described the picture goes.
        doc->SetTitle(res::UntitledName());
        return false;
    }
    doc->SetTitle(FileTitle(path));
    doc->m_bNoPicture = 0;
    doc->m_bFolderEmptied = 0;
    doc->BuildFileList(path);
    const int found = doc->FindFile(path);
    if (found >= 0) {
        doc->m_nCurrent = found;
    } else {
        // Beyond the listed pictures, or not named like one: the picture on
        // screen still becomes the current entry, the list's last (in the
        // place of its 500th picture when it is full), so that Delete and
        // the other programs are handed this file and never another.
        if (doc->m_nLast + 1 < CKorvexDoc::MAX_FOLDER_FILES)
            ++doc->m_nLast;
        doc->m_strFiles.resize(static_cast<std::size_t>(doc->m_nLast) + 1);
        doc->m_strFiles.back() = path;
        doc->m_nCurrent = doc->m_nLast;
    }
    return true;
}

QVector<FileFilter> CKorvexView::OpenFilters()
{
    return {
        {QStringLiteral("所有文件(*.*)"), QStringLiteral("*.bmp;*.tga;*.pcx;*.jpg;*.jpeg;*.gif;*.png;*.webp")},
        {QStringLiteral("BMP(*.bmp)"), QStringLiteral("*.bmp")},
        {QStringLiteral("TGA(*.tga)"), QStringLiteral("*.tga")},
        {QStringLiteral("PCX(*.pcx)"), QStringLiteral("*.pcx")},
        {QStringLiteral("JPEG(*.jpg,*.jpeg)"), QStringLiteral("*.jpg;*.jpeg")},
        {QStringLiteral("GIF(*.gif)"), QStringLiteral("*.gif")},
        {QStringLiteral("PNG(*.png)"), QStringLiteral("*.png")},
        {QStringLiteral("WebP(*.webp)"), QStringLiteral("*.webp")},
    };
}

namespace {

// The Save dialog's types in order; a type with a format names the writer and
// the extension appended, the first one goes by the typed extension.
struct SaveType {
    const char* description;
    const char* patterns;
    PictureFormat format;
};
constexpr SaveType kSaveTypes[] = {
    {"所有文件(*.*)", "*.bmp;*.tga;*.jpg;*.pcx;*.gif;*.png", PictureFormat::Unknown},
    {"BMP(*.bmp)", "*.bmp", PictureFormat::Bmp},
    {"TGA(*.tga)", "*.tga", PictureFormat::Tga},
    {"JPEG(*.jpg)", "*.jpg", PictureFormat::Jpeg},
    {"PCX(*.pcx)", "*.pcx", PictureFormat::Pcx},
    {"GIF(*.gif)", "*.gif", PictureFormat::Gif},
    {"PNG(*.png)", "*.png", PictureFormat::Png},
};

} // namespace

QVector<FileFilter> CKorvexView::SaveFilters()
{
    QVector<FileFilter> filters;
    for (const SaveType& type : kSaveTypes)
        filters.append({QString::fromUtf8(type.description), QString::fromUtf8(type.patterns)});
    return filters;
}

QString CKorvexView::CurrentFolder() const
{
    const CKorvexDoc* doc = m_pDocument;
    if (doc->m_nCurrent < 0 || doc->m_nCurrent > doc->m_nLast)
        return {};
    return QFileInfo(DisplayPath(doc->m_strFiles[static_cast<std::size_t>(doc->m_nCurrent)])).absolutePath();
}

void CKorvexView::OnFileOpen()
{
    QString chosen = CurrentFolder();
    int filter = 1;
    if (!Services().GetOpenFileName(window(), OpenFilters(), chosen, filter))
        return;
    OpenPicture(chosen);
}

void CKorvexView::OnFileSaveAs()
{
    QString chosen = CurrentFolder();
    int filter = 1;
    if (!Services().GetSaveFileName(window(), SaveFilters(), chosen, filter))
        return;
    const std::string confirmed = QFile::encodeName(chosen).toStdString();
    std::string path = confirmed;
    const int types = int(std::size(kSaveTypes));
    PictureFormat format = filter >= 1 && filter <= types ? kSaveTypes[filter - 1].format : PictureFormat::Unknown;
    if (format != PictureFormat::Unknown) {
        // The type's extension, unless the name already ends with it.
        const std::string ext = FormatExtension(format);
        if (path.size() < ext.size() || strcasecmp(path.c_str() + path.size() - ext.size(), ext.c_str()) != 0)
            path += ext;
    } else {
        format = FormatFromPath(path);
        if (!CanSave(format)) {
            format = PictureFormat::Bmp;
            path += ".bmp";
        }
    }
    // The dialog asked about the name as typed; ask again for the one written.
    struct stat existing;
    if (path != confirmed && ::lstat(path.c_str(), &existing) == 0) {
        const QString text = QStringLiteral("%1 已存在。\n要替换它吗？").arg(FileTitle(path));
        if (Services().MessageBox(window(), text, res::String(res::IDS_APP_TITLE), MB_YESNO, BoxIcon::Warning) != IDYES)
            return;
    }
    // Any message of the writer's own has been shown by now; the file's own
    // failure (a folder that may not be written, a full disk) is said here.
    ClearSaveFailure();
    if (!SavePicture(m_picture, path, format)) {
        const std::string reason = LastSaveFailure();
        AfxMessageBox(reason.empty() ? std::string("保存文件失败!") : "保存文件失败!\n" + reason);
    }
}

void CKorvexView::OnDeletePicture()
{
    CKorvexDoc* doc = m_pDocument;
    if (doc->m_nCurrent < 0 || doc->m_nCurrent > doc->m_nLast)
        return;
    const std::string path = doc->m_strFiles[static_cast<std::size_t>(doc->m_nCurrent)];
    if (!Services().ConfirmDelete(window(), DisplayPath(path)))
        return;
    if (!Services().MoveToTrash(path)) {
        AfxMessageBox("无法删除文件!");
        return;
    }
    doc->RemoveCurrent();
    if (doc->m_nLast < 0) {
        // The folder has no picture left; Save As can still write this one.
        doc->m_bFolderEmptied = 1;
        doc->SetTitle(res::UntitledName());
        ClearPictureInfo(2);
        Invalidate();
        return;
    }
    if (doc->m_nCurrent > doc->m_nLast)
        doc->m_nCurrent = doc->m_nLast;
    const std::string& next = doc->m_strFiles[static_cast<std::size_t>(doc->m_nCurrent)];
    doc->SetTitle(FileTitle(next));
    LoadAndShow(next);
}

QString CKorvexView::QuotePath() const
{
    const CKorvexDoc* doc = m_pDocument;
    if (doc->m_nCurrent < 0 || doc->m_nCurrent > doc->m_nLast)
        return QStringLiteral("\"\"");
    QString path = DisplayPath(doc->m_strFiles[static_cast<std::size_t>(doc->m_nCurrent)]);
    path.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + path + QLatin1Char('"');
}

void CKorvexView::OnOpenWithDefault()
{
    const CKorvexDoc* doc = m_pDocument;
    if (doc->m_nCurrent < 0 || doc->m_nCurrent > doc->m_nLast)
        return;
    Services().OpenWithDefault(doc->m_strFiles[static_cast<std::size_t>(doc->m_nCurrent)]);
}

void CKorvexView::OnOpenWithPaint()
{
    const CKorvexDoc* doc = m_pDocument;
    if (doc->m_nCurrent < 0 || doc->m_nCurrent > doc->m_nLast)
        return;
    const QString program = Services().PaintProgram();
    if (program.isEmpty())
        return;
#ifdef Q_OS_WIN
    Services().StartProgram(program, {QuotePath().toStdString()});
#else
    // One argument, the path's bytes unchanged: no shell sits in between here.
    Services().StartProgram(program, {doc->m_strFiles[static_cast<std::size_t>(doc->m_nCurrent)]});
#endif
}

void CKorvexView::StepPicture(int step)
{
    CKorvexDoc* doc = m_pDocument;
    if (step < 0 && doc->m_nCurrent == 0)
        return;
    if (step > 0 && doc->m_nCurrent == doc->m_nLast)
        return;
    if (doc->m_nCurrent < 0 || doc->m_nCurrent > doc->m_nLast)
        return;
    const std::string current = doc->m_strFiles[static_cast<std::size_t>(doc->m_nCurrent)];
    doc->BuildFileList(current);
    if (doc->m_nLast < 0)
        return; // the folder is gone or empty: keep what is shown
    const int found = doc->FindFile(current);
    // The step stays inside the rescanned list.
    doc->m_nCurrent = found < 0 ? 0 : int(std::clamp<long long>((long long)found + step, 0, doc->m_nLast));
    const std::string& path = doc->m_strFiles[static_cast<std::size_t>(doc->m_nCurrent)];
    doc->SetTitle(FileTitle(path));
    LoadAndShow(path);
}

void CKorvexView::AfterZoom()
{
    m_bFitWhilePlacing = false;
    m_picture.m_nDisplayWidth = m_layout.displayWidth;
    m_picture.m_nDisplayHeight = m_layout.displayHeight;
    if (m_pFrame)
        m_pFrame->SetPaneText(1, QString::asprintf("显示比例: %.3f", double(m_fZoom)));
    m_bEffectPending = 1;
    Invalidate();
}

void CKorvexView::OnZoomActual()
{
    ZoomTo(m_layout, 1.0f, m_picture.GetWidth(), m_picture.GetHeight());
    AfterZoom();
}

void CKorvexView::OnZoomFixed(float zoom)
{
    ZoomTo(m_layout, zoom, m_picture.GetWidth(), m_picture.GetHeight());
    AfterZoom();
}

void CKorvexView::OnZoomFit()
{
    FitCompute(m_layout, m_picture.GetWidth(), m_picture.GetHeight());
    AfterZoom();
}

void CKorvexView::OnZoomIn()
{
    ZoomStep(m_layout, 0.1f, m_picture.GetWidth(), m_picture.GetHeight());
    AfterZoom();
}

void CKorvexView::OnZoomOut()
{
    if (ZoomStep(m_layout, -0.1f, m_picture.GetWidth(), m_picture.GetHeight()))
        AfterZoom();
}

void CKorvexView::SetScrollSizes(int width, int height)
{
    m_nScrollWidth = width;
    m_nScrollHeight = height;
    const QSize vp = DeviceViewportSize();
    horizontalScrollBar()->setRange(0, std::max(0, width - vp.width()));
    horizontalScrollBar()->setPageStep(vp.width());
    horizontalScrollBar()->setSingleStep(std::max(1, width / 100));
    verticalScrollBar()->setRange(0, std::max(0, height - vp.height()));
    verticalScrollBar()->setPageStep(vp.height());
    verticalScrollBar()->setSingleStep(std::max(1, height / 100));
}

void CKorvexView::OnDraw(SurfaceDC* dc)
{
    if (m_pDocument->m_bFolderEmptied) {
        SetScrollSizes(100, 100);
        MeasureClient();
        QImage image(reinterpret_cast<uchar*>(dc->Bits()), dc->Width(), dc->Height(), QImage::Format_RGB32);
        const double ratio = dc == &m_surface ? DevicePixelRatio() : 1.0;
        image.setDevicePixelRatio(ratio); // the text at the size of the rest of the window's
        QPainter painter(&image);
        painter.setPen(Qt::black);
        const QFontMetrics fm(painter.font());
        painter.drawText(int(m_nClientWidth / ratio) / 2 - 100, int(m_nClientHeight / ratio) / 2 + fm.ascent(),
                         QStringLiteral("该目录已无可显示的图像"));
        return;
    }
    if (!m_picture.HasImage())
        return;
    if (m_pFrame && m_pFrame->m_bLayoutChanged) {
        // Full screen was entered or left: the client area is another one.
        MeasureClient();
        CentreInClient();
        m_pFrame->m_bLayoutChanged = 0;
    }
    if (m_bRandomEffect && !m_bEffectsOff && m_bEffectPending) {
        std::srand(static_cast<unsigned>(std::time(nullptr)));
        m_nEffect = std::rand() % 11;
    }
    const int w = m_picture.GetWidth(), h = m_picture.GetHeight();
    const int cx = static_cast<int>(double(w) * double(m_fZoom)), cy = static_cast<int>(double(h) * double(m_fZoom));
    m_picture.EnsureDetail(cx, cy);
    m_picture.BeginDraw(cx, cy); // the effect's partial draws match the whole one
    bool drawn = false;
    if (m_bEffectPending == 1 && !m_bEffectsOff && m_nEffect >= 1 && m_nEffect <= 10 && m_playEffect)
        drawn = m_playEffect(m_nEffect, dc);
    if (!drawn)
        m_picture.Draw(dc, m_nOffsetX, m_nOffsetY, cx, cy, 0, 0, w, h, 0);
    m_bEffectPending = 0;
    if (EffectPlaying())
        return; // the rest follows when the effect has drawn the whole picture
    SetScrollSizes(m_picture.m_nDisplayWidth, m_picture.m_nDisplayHeight);
    UpdatePanCursor();
}

void CKorvexView::Invalidate()
{
    if (m_bRedrawQueued)
        return;
    m_bRedrawQueued = true;
    // Skipped when a direct RedrawNow came first.
    QTimer::singleShot(0, this, [this] {
        if (m_bRedrawQueued)
            RedrawNow();
    });
}

void CKorvexView::RedrawNow()
{
    // The window changed under a playing effect (resized, scrolled, another
    // picture): it ends, and the picture is drawn anew.
    StopEffect();
    m_bRedrawQueued = false;
    const QSize vp = DeviceViewportSize();
    const std::uint32_t background = palette().color(QPalette::Window).rgb() | 0xFF000000u;
    if (m_surface.Width() != vp.width() || m_surface.Height() != vp.height())
        m_surface.Resize(vp.width(), vp.height(), background);
    else
        m_surface.Fill(background);
    m_surface.ResetClip();
    m_surface.SetViewportOrigin(horizontalScrollBar()->value(), verticalScrollBar()->value());
    OnDraw(&m_surface);
    viewport()->update();
}

void CKorvexView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    if (m_surface.Width() == 0) {
        painter.fillRect(viewport()->rect(), palette().color(QPalette::Window));
        return;
    }
    QImage image(reinterpret_cast<const uchar*>(m_surface.Bits()), m_surface.Width(), m_surface.Height(),
                 QImage::Format_RGB32);
    const double ratio = DevicePixelRatio();
    image.setDevicePixelRatio(ratio); // one surface pixel on one screen pixel
    const QRect part = event->rect();
    painter.drawImage(QRectF(part), image,
                      QRectF(part.x() * ratio, part.y() * ratio, part.width() * ratio, part.height() * ratio));
}

void CKorvexView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    // The view keeps its layout when the user resizes the window; a size the
    // window manager gives while it places the window is the one meant.
    if (m_pFrame && m_pFrame->FollowsWindowManager() && m_picture.HasImage() && !m_pDocument->m_bFolderEmptied) {
        if (m_bFitWhilePlacing) {
            FitNewPicture();
            m_pFrame->SetPaneText(1, QString::asprintf("显示比例: %.3f", double(m_fZoom)));
        } else {
            MeasureClient();
            CentreInClient();
        }
        m_nScrollWidth = m_picture.m_nDisplayWidth;
        m_nScrollHeight = m_picture.m_nDisplayHeight;
    }
    SetScrollSizes(m_nScrollWidth, m_nScrollHeight);
    UpdatePanCursor();
    Invalidate();
}

void CKorvexView::scrollContentsBy(int, int)
{
    Invalidate();
}

void CKorvexView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pFrame) {
        const QPoint p = event->position().toPoint();
        m_pFrame->SetPaneText(4, QString::asprintf("X = %d , Y = %d", p.x(), p.y()));
        if (m_pFrame->m_bFullScreen)
            m_pFrame->TrackFullScreenBar(p);
    }
    if (m_bPanning) {
        const QPointF moved = (event->position() - m_panStart) * DevicePixelRatio();
        horizontalScrollBar()->setValue(m_panScroll.x() - int(std::lround(moved.x())));
        verticalScrollBar()->setValue(m_panScroll.y() - int(std::lround(moved.y())));
        event->accept();
        return;
    }
    QAbstractScrollArea::mouseMoveEvent(event);
}

QMenu* CKorvexView::BuildContextMenu()
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("PopupMenu"));
    for (const res::MenuItem& item : res::ContextMenu()) {
        if (item.IsSeparator()) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(item.text);
        action->setData(item.command);
        // The same update handlers as the menus and the toolbars decide.
        if (m_pFrame)
            m_pFrame->ApplyCommandUI(action, item.command);
        const int id = item.command;
        connect(action, &QAction::triggered, this, [this, id] {
            if (m_pFrame)
                m_pFrame->ExecuteCommand(id);
        });
    }
    return menu;
}

void CKorvexView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = BuildContextMenu();
    menu->exec(event->globalPos());
    menu->deleteLater();
}

void CKorvexView::Print(bool withDialog)
{
    CKorvexApp* app = AfxGetApp();
    if (CPrintSupport* print = app ? app->PrintSupport() : nullptr)
        print->Print(window(), withDialog, [this](QPaintDevice* page) { PrintPage(page); });
}

void CKorvexView::PrintPreview()
{
    CKorvexApp* app = AfxGetApp();
    if (CPrintSupport* print = app ? app->PrintSupport() : nullptr)
        print->Preview(window(), [this](QPaintDevice* page) { PrintPage(page); });
}

void CKorvexView::PrintPage(QPaintDevice* printer)
{
    QPainter painter;
    if (!painter.begin(printer)) {
        AfxMessageBox("打印失败!");
        return;
    }
    if (m_pDocument->m_bFolderEmptied || !m_picture.HasImage())
        return; // an empty page, as the window shows no picture
    if (!m_picture.LoadFullImage())
        return; // the reader has said why
    const int w = m_picture.GetWidth(), h = m_picture.GetHeight();
    const QRect area = painter.viewport();
    const PageRect place = PrintPlacement(w, h, double(m_fZoom), double(logicalDpiX()), double(printer->logicalDpiX()),
                                          double(printer->logicalDpiY()), area.width(), area.height());
    // The picture's pixels at no more than it has and no more than about
    // 300 dots an inch on the page (shrunk smoothly by the drawing); the
    // printer enlarges them the rest of the way, each pixel a crisp block as
    // on screen. The image owns them, because a preview keeps painted
    // images after this returns.
    const double dotsPerPixel = std::max(1.0, double(printer->logicalDpiX()) / 300.0);
    const int rw = std::max(1, std::min(w, static_cast<int>(place.cx / dotsPerPixel)));
    const int rh = std::max(1, static_cast<int>(double(rw) * h / w));
    auto* surface = new SurfaceDC;
    surface->Resize(rw, rh, 0xFFFFFFFFu);
    if (surface->Width() == 0) {
        delete surface;
        AfxMessageBox("打印失败!");
        return;
    }
    m_picture.Draw(surface, 0, 0, rw, rh, 0, 0, w, h, 0);
    const QImage image(reinterpret_cast<const uchar*>(surface->Bits()), rw, rh, rw * 4, QImage::Format_RGB32,
                       [](void* p) { delete static_cast<SurfaceDC*>(p); }, surface);
    painter.drawImage(QRect(place.x, place.y, place.cx, place.cy), image);
}
