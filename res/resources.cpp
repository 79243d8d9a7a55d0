#include "resources.h"

#include <QHash>

namespace res {

QString WindowTitle()
{
    return QStringLiteral("Tobble");
}

QString UntitledName()
{
    return QStringLiteral("无标题");
}

namespace {

MenuItem Item(const char* text, int command, bool grayed = false, bool checked = false)
{
    MenuItem m;
    m.text = QString::fromUtf8(text);
    m.command = command;
    m.grayed = grayed;
    m.checked = checked;
    return m;
}

MenuItem Separator()
{
    return MenuItem{};
}

} // namespace

const QVector<Menu>& MainMenu()
{
    static const QVector<Menu> menu = {
        {QStringLiteral("文件(&F)"),
         {Item("新建(&N)\tCtrl+N", ID_FILE_NEW, true), Item("打开(&O)...\tCtrl+O", ID_FILE_OPEN),
          Item("保存(&S)\tCtrl+S", ID_FILE_SAVE), Item("另存为(&A)...", ID_FILE_SAVE_AS), Separator(),
          Item("打印(&P)...\tCtrl+P", ID_FILE_PRINT), Item("打印预览(&V)", ID_FILE_PRINT_PREVIEW),
          Item("打印设置(&R)...", ID_FILE_PRINT_SETUP), Separator(), Item("最近的文件", ID_FILE_MRU_FILE1, true),
          Separator(), Item("退出(&X)", ID_APP_EXIT)}},
        {QStringLiteral("编辑(&E)"),
         {Item("删除(&D)\tDelete", ID_DELETE), Separator(), Item("用“画图”打开并编辑(&M)", ID_OPEN_PAINT),
          Item("用默认程序打开(&W)", ID_OPEN_DEFAULT)}},
        {QStringLiteral("查看(&V)"),
         {Item("工具栏(&T)", ID_VIEW_TOOLBAR), Item("状态栏(&S)", ID_VIEW_STATUS_BAR),
          Item("上一张(&P)\tPage Up", ID_PREV_PICTURE), Item("下一张(&N)\tPage Down", ID_NEXT_PICTURE), Separator(),
          Item("全屏/幻灯片(&F)\tF11", ID_FULL_SCREEN)}},
        {QStringLiteral("设定效果(&C)"),
         {Item("载入时使用特效(&U)", ID_EFFECT_ON, false, true), Separator(), Item("随机效果(&R)", ID_EFFECT_RANDOM),
          Separator(), Item("马赛克(&M)", ID_EFFECT_MOSAIC), Item("百叶窗(&B)", ID_EFFECT_BLINDS), Separator(),
          Item("从上往下(&T)", ID_EFFECT_FROM_TOP), Item("从下往上(&D)", ID_EFFECT_FROM_BOTTOM),
          Item("从左往右(&L)", ID_EFFECT_FROM_LEFT), Item("从右往左(&I)", ID_EFFECT_FROM_RIGHT), Separator(),
          Item("左上进入(&Q)", ID_EFFECT_FROM_TOP_LEFT), Item("左下进入(&A)", ID_EFFECT_FROM_BOTTOM_LEFT),
          Item("右上进入(&W)", ID_EFFECT_FROM_TOP_RIGHT), Item("右下进入(&S)", ID_EFFECT_FROM_BOTTOM_RIGHT)}},
        {QStringLiteral("特效(&S)"),
         {Item("水平百叶窗(&H)", ID_SHOW_HORIZONTAL_BLINDS), Item("垂直百叶窗(&V)", ID_SHOW_VERTICAL_BLINDS),
          Item("马赛克(&M)", ID_SHOW_MOSAIC), Item("向下扫描(&T)", ID_SHOW_SCAN_DOWN),
          Item("向上扫描(&B)", ID_SHOW_SCAN_UP)}},
        {QStringLiteral("缩放(&Z)"),
         {Item("逐渐放大(&I)\tCtrl+↑", ID_ZOOM_IN), Item("逐渐缩小(&O)\tCtrl+↓", ID_ZOOM_OUT), Separator(),
          Item("恢复原始大小(&L)", ID_ZOOM_ORIGINAL), Item("适合屏幕大小(&P)", ID_ZOOM_FIT), Separator(),
          Item("50 % (&H)", ID_ZOOM_50), Item("75 % (&S)", ID_ZOOM_75), Item("150 % (&B)", ID_ZOOM_150),
          Item("200 % (&D)", ID_ZOOM_200)}},
        {QStringLiteral("旋转(&R)"),
         {Item("顺时针旋转90度(&C)", ID_ROTATE_CW), Item("逆时针旋转90度(&A)", ID_ROTATE_CCW), Separator(),
          Item("旋转180度(&G)", ID_ROTATE_180)}},
        {QStringLiteral("帮助(&H)"), {Item("关于 Tobble(&A)...", ID_APP_ABOUT)}},
    };
    return menu;
}

const QVector<MenuItem>& ContextMenu()
{
    static const QVector<MenuItem> menu = {
        Item("上一张(&P)\tPage Up", ID_PREV_PICTURE),
        Item("下一张(&N)\tPage Down", ID_NEXT_PICTURE),
        Separator(),
        Item("顺时针旋转90度(&C)", ID_ROTATE_CW),
        Item("逆时针旋转90度(&A)", ID_ROTATE_CCW),
        Separator(),
        Item("放大(&I)\tCtrl+↑", ID_ZOOM_IN),
        Item("缩小(&O)\tCtrl+↓", ID_ZOOM_OUT),
        Item("适合大小(&S)", ID_ZOOM_FIT),
        Item("原始大小(&Y)", ID_ZOOM_ORIGINAL),
        Separator(),
        Item("显示水平百叶窗(&H)", ID_SHOW_HORIZONTAL_BLINDS),
        Item("显示垂直百叶窗(&V)", ID_SHOW_VERTICAL_BLINDS),
        Item("显示马赛克效果(&M)", ID_SHOW_MOSAIC),
        Item("显示向上扫描(&B)", ID_SHOW_SCAN_UP),
        Item("显示向下扫描(&T)", ID_SHOW_SCAN_DOWN),
        Separator(),
        Item("删除(&D)\tDelete", ID_DELETE),
        Separator(),
        Item("全屏/幻灯片(&F)\tF11", ID_FULL_SCREEN),
    };
    return menu;
}

const QVector<Accelerator>& Accelerators()
{
    static const QVector<Accelerator> table = {
        {QKeySequence(Qt::CTRL | Qt::Key_C), ID_EDIT_COPY},
        {QKeySequence(Qt::CTRL | Qt::Key_N), ID_FILE_NEW},
        {QKeySequence(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN},
        {QKeySequence(Qt::CTRL | Qt::Key_P), ID_FILE_PRINT},
        {QKeySequence(Qt::CTRL | Qt::Key_S), ID_FILE_SAVE},
        {QKeySequence(Qt::CTRL | Qt::Key_V), ID_EDIT_PASTE},
        {QKeySequence(Qt::ALT | Qt::Key_Backspace), ID_EDIT_UNDO},
        {QKeySequence(Qt::Key_Delete), ID_DELETE},
        {QKeySequence(Qt::SHIFT | Qt::Key_Delete), ID_EDIT_CUT},
        {QKeySequence(Qt::CTRL | Qt::Key_Down), ID_ZOOM_OUT},
        {QKeySequence(Qt::Key_F11), ID_FULL_SCREEN},
        {QKeySequence(Qt::Key_F6), ID_NEXT_PANE},
        {QKeySequence(Qt::SHIFT | Qt::Key_F6), ID_PREV_PANE},
        {QKeySequence(Qt::CTRL | Qt::Key_Insert), ID_EDIT_COPY},
        {QKeySequence(Qt::SHIFT | Qt::Key_Insert), ID_EDIT_PASTE},
        {QKeySequence(Qt::Key_PageDown), ID_NEXT_PICTURE},
        {QKeySequence(Qt::Key_PageUp), ID_PREV_PICTURE},
        {QKeySequence(Qt::CTRL | Qt::Key_Up), ID_ZOOM_IN},
        {QKeySequence(Qt::CTRL | Qt::Key_X), ID_EDIT_CUT},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), ID_EDIT_UNDO},
    };
    return table;
}

const QVector<Accelerator>& ExtraAccelerators()
{
    static const QVector<Accelerator> table = {
        {QKeySequence(Qt::Key_Home), ID_FIRST_PICTURE},
        {QKeySequence(Qt::Key_End), ID_LAST_PICTURE},
    };
    return table;
}

QStringList KeyHelp()
{
    return {
        QStringLiteral("Page Down, Page Up\tnext, previous picture in the folder"),
        QStringLiteral("Right, Left\tnext, previous picture when it fits the window's width, else scroll"),
        QStringLiteral("Space, BackSpace\tnext, previous picture when it fits the window's height, else scroll a page"),
        QStringLiteral("Home, End\tfirst, last picture in the folder"),
        QStringLiteral("Ctrl+Up, Ctrl+Down\tzoom in, zoom out by 0.1"),
        QStringLiteral("Ctrl+wheel\tzoom in, zoom out by 0.1 around the pointer"),
        QStringLiteral("left button drag\tmove a picture larger than the window"),
        QStringLiteral("drop a file\topen it as Open does; its folder becomes the list"),
        QStringLiteral("Delete\tmove the picture to the trash"),
        QStringLiteral("F11\tfull screen and slideshow; Escape leaves it"),
        QStringLiteral("Ctrl+O, Ctrl+S, Ctrl+P\topen, save a copy, print"),
    };
}

const QVector<int>& MainToolbar()
{
    static const QVector<int> bar = {
        ID_FILE_OPEN, ID_FILE_PRINT, ID_FILE_SAVE, 0, ID_ZOOM_IN, ID_ZOOM_OUT, ID_ZOOM_FIT, ID_ZOOM_ORIGINAL, 0,
        ID_ROTATE_CW, ID_ROTATE_CCW, 0, ID_PREV_PICTURE, ID_NEXT_PICTURE, 0, ID_FULL_SCREEN, 0, ID_DELETE,
        ID_OPEN_PAINT, ID_OPEN_DEFAULT, 0, ID_SHOW_HORIZONTAL_BLINDS, ID_SHOW_VERTICAL_BLINDS, ID_SHOW_MOSAIC,
        ID_SHOW_SCAN_DOWN, ID_SHOW_SCAN_UP, 0, ID_EFFECT_ON, ID_EFFECT_RANDOM, ID_EFFECT_MOSAIC, ID_EFFECT_BLINDS,
        ID_EFFECT_FROM_TOP, ID_EFFECT_FROM_BOTTOM, ID_EFFECT_FROM_LEFT, ID_EFFECT_FROM_RIGHT,
        ID_EFFECT_FROM_TOP_LEFT, ID_EFFECT_FROM_BOTTOM_LEFT, ID_EFFECT_FROM_TOP_RIGHT, ID_EFFECT_FROM_BOTTOM_RIGHT,
        ID_APP_ABOUT,
    };
    return bar;
}

const QVector<int>& FullScreenToolbar()
{
    static const QVector<int> bar = {ID_SLIDE_START, ID_SLIDE_STOP, 0, ID_PREV_PICTURE, ID_NEXT_PICTURE, 0,
                                     ID_ZOOM_IN, ID_ZOOM_OUT, ID_ZOOM_FIT, ID_ZOOM_ORIGINAL, 0, ID_FULL_SCREEN};
    return bar;
}

namespace {

const QHash<int, QString>& Strings()
{
    static const QHash<int, QString> table = [] {
        QHash<int, QString> t;
        auto add = [&t](int id, const char* text) { t.insert(id, QString::fromUtf8(text)); };
        add(IDS_APP_TITLE, "Korvex");
        add(IDS_IDLE_MESSAGE, "就绪");
        add(ID_INDICATOR_LEFT, "LEFT");
        add(ID_INDICATOR_RIGHT, "RIGHT");
        add(128, "Tobble\n\nKorvex\n\n\nKorvex.Document\nKorvex Document");
        add(ID_EFFECT_ON, "是否在载入文件及变换时使用特效显示\n是否在载入文件及变换时使用特效显示");
        add(ID_ZOOM_50, "缩放到原来大小的 50 %\n缩放到原来大小的 50 %");
        add(ID_ZOOM_ORIGINAL, "恢复原始图像大小\n恢复原始图像大小");
        add(ID_ZOOM_200, "缩放到原来大小的 2 倍\n缩放到原来大小的 2 倍");
        add(ID_ZOOM_75, "缩放到原来大小的 75 %\n缩放到原来大小的 75 %");
        add(ID_ZOOM_150, "缩放到原来大小的 1.5倍\n缩放到原来大小的 1.5倍");
        add(ID_EFFECT_RANDOM, "载入时由计算机随机选定效果\n载入时由计算机随机选定效果");
        add(ID_EFFECT_MOSAIC, "设定为 马赛克效果\n设定为 马赛克效果");
        add(ID_EFFECT_BLINDS, "设定为 百叶窗效果\n设定为 百叶窗效果");
        add(ID_EFFECT_FROM_TOP, "设定为 从上往下进入\n设定为 从上往下进入");
        add(ID_EFFECT_FROM_BOTTOM, "设定为 从下往上进入\n设定为 从下往上进入");
        add(ID_EFFECT_FROM_LEFT, "设定为 从左往右进入\n设定为 从左往右进入");
        add(ID_EFFECT_FROM_RIGHT, "设定为 从右往左进入\n设定为 从右往左进入");
        add(ID_EFFECT_FROM_TOP_LEFT, "设定为 从左上方进入\n设定为 从左上方进入");
        add(ID_EFFECT_FROM_BOTTOM_LEFT, "设定为 从左下方进入\n设定为 从左下方进入");
        add(ID_EFFECT_FROM_TOP_RIGHT, "设定为 从右上方进入\n设定为 从右上方进入");
        add(ID_EFFECT_FROM_BOTTOM_RIGHT, "设定为 从右下方进入\n设定为 从右下方进入");
        add(ID_NEXT_PICTURE, "查看当前目录中下一张图片(Page Down)\n查看当前目录中下一张图片((Page Down))");
        add(ID_PREV_PICTURE, "查看当前目录中上一张图片(Page Up)\n查看当前目录中上一张图片(Page Up)");
        add(ID_DELETE, "删除当前图片(按Delete键即可)\n删除当前图片(按Delete键即可)");
        add(ID_ZOOM_IN, "逐渐放大(Ctrl+↑)\n逐渐放大(Ctrl+↑)");
        add(ID_ZOOM_OUT, "逐渐缩小(Ctrl+↓)\n逐渐缩小(Ctrl+↓)");
        add(ID_OPEN_DEFAULT, "用系统默认关联的程序浏览或编辑\n用系统默认关联的程序浏览或编辑");
        add(ID_OPEN_PAINT, "用Windows“画图”程序打开并编辑\n用Windows“画图”程序打开并编辑");
        add(ID_FULL_SCREEN, "以幻灯片模式全屏浏览\n以幻灯片模式全屏浏览");
        add(ID_SLIDE_START, "开始幻灯片\n开始幻灯片");
        add(ID_SLIDE_STOP, "停止幻灯片\n停止幻灯片");
        add(ID_ZOOM_FIT, "调整图片到适合屏幕大小\n调整图片到适合屏幕大小");
        add(ID_ROTATE_CW, "将图像顺时针旋转90度\n将图像顺时针旋转90度");
        add(ID_SHOW_VERTICAL_BLINDS, "显示垂直百叶窗效果\n显示垂直百叶窗效果");
        add(ID_SHOW_HORIZONTAL_BLINDS, "显示水平百叶窗效果\n显示水平百叶窗效果");
        add(ID_SHOW_MOSAIC, "显示马赛克效果\n显示马赛克效果");
        add(ID_SHOW_SCAN_DOWN, "显示向下扫描效果\n显示向下扫描效果");
        add(ID_SHOW_SCAN_UP, "显示向上扫描效果\n显示向上扫描效果");
        add(ID_ROTATE_CCW, "将图像逆时针旋转90度\n将图像逆时针旋转90度");
        add(ID_ROTATE_180, "将图像旋转180度\n将图像旋转180度");
        add(ID_FIRST_PICTURE, "查看当前目录中第一张图片\n第一张图片(Home)");
        add(ID_LAST_PICTURE, "查看当前目录中最后一张图片\n最后一张图片(End)");
        add(ID_FILE_NEW, "建立新文档\n新建");
        add(ID_FILE_OPEN, "打开一个现有文档\n打开");
        add(ID_FILE_SAVE, "复制(保存)该图片\n复制(保存)该图片");
        add(ID_FILE_SAVE_AS, "将活动文档以一个新文件名保存\n另存为");
        add(ID_FILE_PRINT_SETUP, "改变打印机及打印选项\n打印设置");
        add(ID_FILE_PRINT, "打印活动文档\n打印");
        add(ID_FILE_PRINT_PREVIEW, "显示整页\n打印预览");
        add(ID_FILE_MRU_FILE1, "打开该文档");
        add(ID_APP_EXIT, "退出应用程序；提示保存文档\n退出");
        add(ID_VIEW_TOOLBAR, "显示或隐藏工具栏\n显隐工具栏");
        add(ID_VIEW_STATUS_BAR, "显示或隐藏状态栏\n显隐状态栏");
        add(ID_APP_ABOUT, "显示程序信息、版本号和版权\n关于");
        return t;
    }();
    return table;
}

} // namespace

QString String(int id)
{
    return Strings().value(id);
}

QString Tooltip(int command)
{
    const QString s = String(command);
    const int nl = s.indexOf(QLatin1Char('\n'));
    return nl < 0 ? s : s.mid(nl + 1);
}

QVector<int> StringIds()
{
    return Strings().keys().toVector();
}

} // namespace res
