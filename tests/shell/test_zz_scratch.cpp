#include "MainFormFixture.h"
#include <cstdio>
#include <QPainter>
#include "display/uGraphsCmps.h"
using namespace lv;
namespace lvtest {
TEST_F(MainFormTest, ScratchOverviewFrame) {
    Form->show();
    Settle();
    const QString file = TraceFile("a.tra");
    ASSERT_EQ(Form->OpenTraceFiles({file}), 1);
    for (int i = 0; i < 10; ++i) Settle();
    TOverviewGraph* ov = Form->OverviewGraph;
    TMainGraph* main = Form->MainGraph;
    QImage img(ov->ClientRect().size(), QImage::Format_RGB32);
    { QPainter p(&img); ov->PaintView(p, ov->ClientRect()); }
    TRect c = ov->ContentRect(); TRect f = ov->WindowFrame();
    TRealRect w = ov->WindowExts(), e = ov->GetExts(), mv = main->GetVisExts(), me = main->GetExts();
    printf("content %d %d %d %d frame %d %d %d %d\n", c.Left, c.Top, c.Right, c.Bottom, f.Left, f.Top, f.Right, f.Bottom);
    printf("win %.17g %.17g %.17g %.17g\n", w.XMin, w.YMin, w.XMax, w.YMax);
    printf("ovw %.17g %.17g %.17g %.17g\n", e.XMin, e.YMin, e.XMax, e.YMax);
    printf("mvis %.17g %.17g %.17g %.17g\n", mv.XMin, mv.YMin, mv.XMax, mv.YMax);
    printf("mext %.17g %.17g %.17g %.17g\n", me.XMin, me.YMin, me.XMax, me.YMax);
    printf("vw %d vh %d mainC %d %d\n", ov->VirtualWidth(), ov->VirtualHeight(), main->ContentRect().Width(), main->ContentRect().Height());
    img.save("/tmp/rd/ovshell.png");
}
}
