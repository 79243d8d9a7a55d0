// Printing: the print system is large and rarely used, so it lives in a
// module of its own (korvex-print) that is loaded the first time something
// is printed, never at start-up.
#pragma once

#include <functional>

class QPaintDevice;
class QWidget;

class CPrintSupport {
public:
    virtual ~CPrintSupport() = default;
    using PaintPage = std::function<void(QPaintDevice* page)>;
    // The application's one printer is the module's: what Print Setup
    // chooses is what Print and Print Preview use.
    virtual void PageSetup(QWidget* parent) = 0;
    // After the print dialog when `withDialog` (nothing when it is
    // cancelled), the page is painted on the printer.
    virtual void Print(QWidget* parent, bool withDialog, const PaintPage& paint) = 0;
    virtual void Preview(QWidget* parent, const PaintPage& paint) = 0;
};

// The module's entry point, by this name.
extern "C" CPrintSupport* KorvexCreatePrintSupport();
using CreatePrintSupportFn = CPrintSupport* (*)();
