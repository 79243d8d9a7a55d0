// The korvex-print module: the printer and the print dialogs.
#include "app/PrintSupport.h"

#include <QDialog>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace {

class PrintModule : public CPrintSupport {
public:
    void PageSetup(QWidget* parent) override
    {
        QPageSetupDialog dlg(&m_printer, parent);
        dlg.exec();
    }
    void Print(QWidget* parent, bool withDialog, const PaintPage& paint) override
    {
        if (withDialog) {
            QPrintDialog dialog(&m_printer, parent);
            if (dialog.exec() != QDialog::Accepted)
                return;
        }
        paint(&m_printer);
    }
    void Preview(QWidget* parent, const PaintPage& paint) override
    {
        QPrintPreviewDialog preview(&m_printer, parent);
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, [&paint](QPrinter* printer) { paint(printer); });
        preview.exec();
    }

private:
    QPrinter m_printer{QPrinter::HighResolution};
};

} // namespace

extern "C" Q_DECL_EXPORT CPrintSupport* KorvexCreatePrintSupport()
{
    return new PrintModule;
}
