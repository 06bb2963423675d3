#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <optional>

#include "ui/model/app_info.h"
#include "ui/qt/serial_port_panel.h"
#include "ui/qt/wifi_panel.h"
#include "window_fixture.h"

namespace korvane::test {
namespace {

QStringList itemsOf(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
    }
    return items;
}

// Every control setControlsEnabled switches, with whether it must follow the flag.
std::vector<QWidget*> inputControls(const UpdaterWindow& w) {
    return {w.btRadio(),
            w.usbRadio(),
            w.wifiRadio(),
            w.pathBox(),
            w.browseButton(),
            w.updateButton(),
            w.readButton(),
            w.btPanel()->portList(),
            w.btPanel()->baudList(),
            w.btPanel()->refreshButton(),
            w.usbPanel()->portList(),
            w.usbPanel()->baudList(),
            w.usbPanel()->refreshButton(),
            w.wifiPanel()->addressBox(),
            w.wifiPanel()->portBox()};
}

TEST_F(WindowTest, StartsWithBtSelectedDefaultsFilledAndFocusOnUpdate) {
    openWindow();
    UpdaterWindow& w = *window;

    EXPECT_TRUE(w.btRadio()->isChecked());
    EXPECT_FALSE(w.usbRadio()->isChecked());
    EXPECT_FALSE(w.wifiRadio()->isChecked());
    EXPECT_TRUE(w.btPanel()->isVisible());
    EXPECT_FALSE(w.usbPanel()->isVisible());
    EXPECT_FALSE(w.wifiPanel()->isVisible());
    for (QWidget* panel : {static_cast<QWidget*>(w.btPanel()), static_cast<QWidget*>(w.usbPanel()),
                           static_cast<QWidget*>(w.wifiPanel())}) {
        EXPECT_EQ(panel->geometry(), w.commPortFrame()->geometry());
    }

    const QStringList expectedPorts{"/dev/ttyUSB0", "/dev/rfcomm0", "/dev/ttyACM0"};
    const QStringList rates{"9600",   "19200",  "38400",   "57600",   "115200",  "230400", "256000",
                            "460800", "500000", "1000000", "2000000", "4000000", "8000000"};
    for (const SerialPortPanel* panel : {w.btPanel(), w.usbPanel()}) {
        EXPECT_EQ(itemsOf(panel->portList()), expectedPorts);
        EXPECT_EQ(panel->selectedPortIndex(), 0);
        EXPECT_EQ(itemsOf(panel->baudList()), rates);
        EXPECT_EQ(panel->selectedBaudText(), "115200");
    }
    EXPECT_EQ(w.wifiPanel()->addressText(), "192.168.0.10");
    EXPECT_EQ(w.wifiPanel()->portText(), "35000");

    EXPECT_EQ(w.focusWidget(), w.updateButton());
    EXPECT_TRUE(w.updateButton()->isDefault());
    EXPECT_TRUE(w.outputBox()->toPlainText().isEmpty());
    EXPECT_EQ(w.progressBar()->minimum(), 0);
    EXPECT_EQ(w.progressBar()->maximum(), 100);
    EXPECT_EQ(w.progressBar()->value(), 0);
    EXPECT_FALSE(w.isBusy());
}

// Every control of the layout's table stands where the table puts it, with its caption, and Tab
// visits the table's stops in order.
TEST_F(WindowTest, DrawsTheLayoutsControls) {
    openWindow();
    UpdaterWindow& w = *window;
    EXPECT_EQ(w.windowTitle(), kWindowCaption);
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_EQ(w.size(), w.units().size(kWindowArea.width, kWindowArea.height));
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);

    auto surface = [&w](ControlPlace place) -> const ControlSet& {
        return place == ControlPlace::Window        ? w.controls()
               : place == ControlPlace::SerialPanel ? w.btPanel()->controls()
                                                    : w.wifiPanel()->controls();
    };
    for (const ControlLayout& row : windowLayout()) {
        const ControlSet& set = surface(row.place);
        QWidget* widget = set.widget(row.control);
        ASSERT_NE(widget, nullptr) << row.caption;
        EXPECT_EQ(set.controlOf(widget), row.control);
        const QRect area = w.units().rect(row.rect.x, row.rect.y, row.rect.width, row.rect.height);
        EXPECT_EQ(widget->pos(), area.topLeft()) << row.caption;
        // A label may be widened for the desktop's font; a closed drop-down list is one line high.
        if (row.kind == ControlKind::Label) {
            EXPECT_GE(widget->width(), area.width());
        } else if (row.kind == ControlKind::DropDown) {
            EXPECT_EQ(widget->width(), area.width());
        } else {
            EXPECT_EQ(widget->size(), area.size()) << row.caption;
        }
        const bool frame = row.kind == ControlKind::Frame || row.kind == ControlKind::PanelFrame;
        if (*row.caption != '\0') {
            EXPECT_EQ(widget->property(frame ? "title" : "text").toString(), row.caption);
        }
    }

    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    std::vector<QWidget*> expected;
    for (const WindowControl control : tabOrder(ControlPlace::SerialPanel)) {
        expected.push_back(surface(layoutOf(control).place).widget(control));
    }
    std::rotate(expected.begin(), std::find(expected.begin(), expected.end(), w.pathBox()),
                expected.end());
    w.pathBox()->setFocus();
    std::vector<QWidget*> visited{QApplication::focusWidget()};
    for (std::size_t i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(visited, expected);
}

TEST_F(WindowTest, RadioButtonsShowOnlyTheirPanel) {
    openWindow();
    UpdaterWindow& w = *window;
    const struct {
        QRadioButton* radio;
        QWidget* panel;
    } cases[] = {
        {w.wifiRadio(), w.wifiPanel()}, {w.usbRadio(), w.usbPanel()}, {w.btRadio(), w.btPanel()}};
    for (const auto& c : cases) {
        QTest::mouseClick(c.radio, Qt::LeftButton);
        EXPECT_TRUE(c.radio->isChecked());
        for (QWidget* panel :
             {static_cast<QWidget*>(w.btPanel()), static_cast<QWidget*>(w.usbPanel()),
              static_cast<QWidget*>(w.wifiPanel())}) {
            EXPECT_EQ(panel->isVisible(), panel == c.panel);
        }
    }
}

TEST_F(WindowTest, UpdateWithEmptyPathDoesNothingAtAll) {
    openWindow();
    job.reportProgress(37);
    window->updateButton()->click();
    EXPECT_EQ(job.openCount, 0);
    EXPECT_TRUE(output().isEmpty());
    EXPECT_EQ(window->progressBar()->value(), 37);
    EXPECT_FALSE(window->isBusy());
}

TEST_F(WindowTest, SerialTypeWithoutPortOrBaudStartsNothing) {
    ports.clear();
    openWindow();
    window->pathBox()->setText("fw.hex");
    EXPECT_EQ(window->btPanel()->portList()->count(), 0);
    EXPECT_EQ(window->usbPanel()->portList()->count(), 0);
    for (QRadioButton* type : {window->btRadio(), window->usbRadio()}) {
        type->click();
        window->updateButton()->click();
        window->readButton()->click();
    }
    EXPECT_EQ(job.openCount, 0);
    EXPECT_TRUE(output().isEmpty());
    EXPECT_FALSE(window->isBusy());

    // A port but no baud rate chosen is abandoned the same way.
    ports = {"/dev/ttyS0"};
    window->btRadio()->click();
    window->btPanel()->refreshPortList();
    window->btPanel()->baudList()->setCurrentIndex(-1);
    window->updateButton()->click();
    EXPECT_EQ(job.openCount, 0);
}

TEST_F(WindowTest, BuildsTheDescriptorOfTheChosenType) {
    openWindow();
    UpdaterWindow& w = *window;
    w.pathBox()->setText("/tmp/fw file.hex");
    struct Case {
        std::function<void()> choose;
        std::string descriptor;
    };
    const Case cases[] = {
        {[&] { w.btRadio()->click(); }, "com|/dev/ttyUSB0:115200"},
        {[&] {
             w.usbRadio()->click();
             w.usbPanel()->portList()->setCurrentIndex(1);
             w.usbPanel()->baudList()->setCurrentIndex(0);
         },
         "com|/dev/rfcomm0:9600"},
        // The BT panel keeps its own choice while USB's changed.
        {[&] { w.btRadio()->click(); }, "com|/dev/ttyUSB0:115200"},
        {[&] { w.wifiRadio()->click(); }, "tcp|192.168.0.10:35000"},
        {[&] {
             w.wifiPanel()->addressBox()->setText("127.0.0.1");
             w.wifiPanel()->portBox()->setText("not a port");
         },
         "tcp|127.0.0.1:not a port"},
        {[&] {
             w.wifiPanel()->addressBox()->clear();
             w.wifiPanel()->portBox()->clear();
         },
         "tcp|:"},
    };
    int opens = 0;
    for (const Case& c : cases) {
        c.choose();
        w.updateButton()->click();
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(job.openCount, ++opens);
        EXPECT_EQ(job.lastDescriptor, c.descriptor);
        EXPECT_EQ(job.lastPath, "/tmp/fw file.hex");
    }
}

TEST_F(WindowTest, WifiWithEmptyBoxesLeavesTheRefusalToTheJob) {
    job.forwardOpen = true;  // the real job takes the descriptor apart
    openWindow();
    window->wifiRadio()->click();
    window->wifiPanel()->addressBox()->clear();
    window->wifiPanel()->portBox()->clear();
    window->pathBox()->setText("fw.hex");
    window->updateButton()->click();
    EXPECT_EQ(job.lastDescriptor, "tcp|:");
    // The failure text, then the reason: which part is wrong and the form it takes.
    const QString shown = output();
    EXPECT_TRUE(shown.startsWith("**Failed** Port parameter error!\n  \"tcp|:\": the TCP port"))
        << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("tcp|192.168.0.10:35000.\n")) << shown.toStdString();
    EXPECT_EQ(shown.count('\n'), 2);
    EXPECT_FALSE(window->isBusy());
    EXPECT_EQ(job.updateCount, 0);
}

TEST_F(WindowTest, FailedOpenShowsTheJobsTextAndReturnsToIdle) {
    openWindow();
    job.openResult = -1;
    window->pathBox()->setText("fw.hex");
    job.reportProgress(80);
    window->updateButton()->click();
    // Everything happened on the window's thread, before the click returned.
    EXPECT_EQ(output(), "**Failed** Port connection error!\n");
    EXPECT_EQ(window->progressBar()->value(), 0);
    EXPECT_FALSE(window->isBusy());
    EXPECT_EQ(job.updateCount, 0);
    EXPECT_EQ(job.releaseCount, 0);
}

// A reason line that names a path with non-ASCII letters shows them as they are.
TEST_F(WindowTest, NonAsciiPathInAReasonShowsRight) {
    openWindow();
    job.updateWork = [](FakeJob& j, int) {
        j.reportText("  /home/j\xC3\xBCrgen/\xE2\x82\xAC.hex: no such file; check the path.\r\n");
    };
    window->pathBox()->setText(QStringLiteral(u"/home/j\u00FCrgen/\u20AC.hex"));
    window->updateButton()->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(output(), QStringLiteral(u"Port is opened!\n  /home/j\u00FCrgen/\u20AC.hex: no such "
                                       u"file; check the path.\n"));
    EXPECT_EQ(job.lastPath, "/home/j\xC3\xBCrgen/\xE2\x82\xAC.hex");
}

TEST_F(WindowTest, WorkerReportsReachTheControlsAndTheWindowEndsIdle) {
    openWindow();
    job.openResult = 3;
    job.updateWork = [](FakeJob& j, int) {
        j.reportProgress(1);
        j.reportText("device version:");
        j.reportText("V2.1");
        j.reportText("\r\n");
        j.reportProgress(57);
        j.reportText("File download finished!\r\n");
        j.reportProgress(100);
    };
    window->pathBox()->setText("fw.hex");
    window->updateButton()->click();
    EXPECT_TRUE(window->isBusy());
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(output(), "Port is opened!\ndevice version:V2.1\nFile download finished!\n");
    EXPECT_EQ(window->progressBar()->value(), 100);
    EXPECT_EQ(job.updateCount, 1);
    EXPECT_EQ(job.readCount, 0);
    EXPECT_EQ(job.releaseCount, 1);
    EXPECT_EQ(job.lastReleasedSlot, 3);
    for (QWidget* control : inputControls(*window)) {
        EXPECT_TRUE(control->isEnabled());
    }

    EXPECT_TRUE(window->lastOutcome().finished());

    // A second update replaces the finished worker and runs again. Its outcome (a failure whose
    // texts hold the words of success) is the job's; the window adds no text of its own for it.
    job.outcome = JobOutcome{JobResult::Failed, "**Failed** Sending error on 2 line!\r\n"};
    const QString before = output();
    window->updateButton()->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(job.updateCount, 2);
    EXPECT_EQ(job.releaseCount, 2);
    EXPECT_EQ(window->lastOutcome().result, JobResult::Failed);
    EXPECT_EQ(window->lastOutcome().failureText, "**Failed** Sending error on 2 line!\r\n");
    EXPECT_EQ(output(), before + "Port is opened!\ndevice version:V2.1\nFile download finished!\n");
}

TEST_F(WindowTest, ReadWithEmptyPathStartsWithTheEmptyPath) {
    openWindow();
    job.readWork = [](FakeJob& j, int) {
        j.reportText("device version:ZNB 3.2\r\n");
        j.reportText("adapter version:ELM327 v1.5\r\n");
    };
    job.reportProgress(64);
    ASSERT_TRUE(window->pathBox()->text().isEmpty());
    window->readButton()->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(job.openCount, 1);
    EXPECT_EQ(job.lastPath, "");
    EXPECT_EQ(job.lastDescriptor, "com|/dev/ttyUSB0:115200");
    EXPECT_EQ(job.readCount, 1);
    EXPECT_EQ(job.updateCount, 0);
    EXPECT_EQ(job.releaseCount, 1);
    EXPECT_EQ(window->progressBar()->value(), 0);
    EXPECT_EQ(output(), "Port is opened!\ndevice version:ZNB 3.2\nadapter version:ELM327 v1.5\n");
}

TEST_F(WindowTest, BusyDisablesInputsButNotClearOutputOrProgress) {
    openWindow();
    Gate gate;
    job.updateWork = [&gate](FakeJob&, int) { gate.wait(); };
    window->pathBox()->setText("fw.hex");
    window->updateButton()->click();
    ASSERT_TRUE(window->isBusy());
    for (QWidget* control : inputControls(*window)) {
        EXPECT_FALSE(control->isEnabled()) << control->metaObject()->className();
    }
    EXPECT_TRUE(window->clearButton()->isEnabled());
    EXPECT_TRUE(window->outputBox()->isEnabled());
    EXPECT_TRUE(window->progressBar()->isEnabled());
    // Neither action starts a second job meanwhile.
    window->updateButton()->click();
    window->readButton()->click();
    EXPECT_EQ(job.openCount, 1);
    gate.open();
    ASSERT_TRUE(waitIdle());
    for (QWidget* control : inputControls(*window)) {
        EXPECT_TRUE(control->isEnabled()) << control->metaObject()->className();
    }
}

TEST_F(WindowTest, ClearDuringAJobEmptiesTheBoxAndLaterReportsFollow) {
    openWindow();
    Gate reported;
    Gate resume;
    job.updateWork = [&](FakeJob& j, int) {
        j.reportText("first line\r\n");
        reported.open();
        resume.wait();
        j.reportText("second line\r\n");
    };
    window->pathBox()->setText("fw.hex");
    window->updateButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return output().contains("first line"); }));
    window->clearButton()->click();
    EXPECT_TRUE(output().isEmpty());
    resume.open();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(output(), "second line\n");
}

TEST_F(WindowTest, OutputKeepsPiecesOnOneLineAndScrollsToTheEnd) {
    openWindow();
    for (int i = 0; i < 200; ++i) {
        window->appendOutput(QStringLiteral("line %1 ").arg(i), true);
        window->appendOutput(QStringLiteral("end\r\n"), true);
    }
    const QStringList lines = output().split('\n');
    ASSERT_EQ(lines.size(), 201);
    EXPECT_EQ(lines[0], "line 0 end");
    EXPECT_EQ(lines[199], "line 199 end");
    const QScrollBar* bar = window->outputBox()->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    window->appendOutput(QStringLiteral("fresh\r\n"), false);
    EXPECT_EQ(output(), "fresh\n");
    window->appendOutput(QString(), false);
    EXPECT_TRUE(output().isEmpty());
}

TEST_F(WindowTest, ReportsToAHiddenWindowAreDropped) {
    window = std::make_unique<UpdaterWindow>(job, [this] { return ports; });
    job.reportText("Port is opened!\r\n");
    job.reportProgress(50);
    EXPECT_TRUE(output().isEmpty());
    EXPECT_EQ(window->progressBar()->value(), 0);
}

TEST_F(WindowTest, OkActionAndReturnNeverCloseTheWindow) {
    openWindow();
    window->accept();
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(job.openCount, 0);
}

TEST_F(WindowTest, CloseWhileIdleStopsJoinsAndEndsCleanly) {
    openWindow();
    window->pathBox()->setText("fw.hex");
    window->updateButton()->click();
    ASSERT_TRUE(waitIdle());
    window->readButton()->click();
    ASSERT_TRUE(waitIdle());
    ASSERT_FALSE(job.stopRequested());

    QSignalSpy finished(window.get(), &QDialog::finished);
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(job.stopRequested());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(window->btPanel(), nullptr);
    EXPECT_EQ(window->usbPanel(), nullptr);
    EXPECT_EQ(window->wifiPanel(), nullptr);
    EXPECT_EQ(job.releaseCount, 2);
}

// A window whose question about abandoning a job is answered by the test.
class AnsweringWindow : public UpdaterWindow {
public:
    AnsweringWindow(UpdateJob& job, PortLister lister, bool answer)
        : UpdaterWindow(job, std::move(lister)), answer_(answer) {}

protected:
    bool confirmAbandon(const std::string&) override { return answer_; }

private:
    bool answer_;
};

TEST(WindowDeathTest, ConfirmedCloseWhileBusyEndsTheProcessAtOnce) {
    EXPECT_EXIT(
        {
            FakeJob job;
            Gate never;
            job.updateWork = [&never](FakeJob&, int) { never.wait(60000); };
            AnsweringWindow window(
                job, [] { return std::vector<std::string>{"/dev/ttyS0"}; }, true);
            window.show();
            window.pathBox()->setText("fw.hex");
            window.updateButton()->click();
            window.close();
            std::_Exit(3);  // not reached when the close ended the process
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(FirmwareDialogTest, FilterShowsEveryFileUnderItsOwnName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"firmware", "update.hex", "v2.bin"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QFileDialog dialog;
    configureFirmwareDialog(dialog);
    dialog.setDirectory(dir.path());
    EXPECT_EQ(dialog.nameFilters(), QStringList{"Firmware File (*.*)"});
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    const QModelIndex folder = model->index(dir.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(folder) == 3; }, 10000))
        << model->rowCount(folder) << " files listed";
}

TEST_F(WindowTest, TypedTextIsBoundedInBytesAndNeverCut) {
    openWindow();
    struct Case {
        QLineEdit* box;
        int limit;
    };
    const Case cases[] = {{window->pathBox(), 1023},
                          {window->wifiPanel()->addressBox(), 255},
                          {window->wifiPanel()->portBox(), 255}};
    for (const Case& c : cases) {
        c.box->clear();
        c.box->setFocus();
        c.box->insert(QString(c.limit - 1, 'x'));
        QTest::keyClicks(c.box, "yz");  // the second key would pass the limit
        EXPECT_EQ(c.box->text().size(), c.limit);
        EXPECT_TRUE(c.box->text().endsWith('y'));

        // A two-byte character where one byte is left is refused whole.
        c.box->backspace();
        c.box->insert(QString(QChar(0x00e9)));
        EXPECT_EQ(c.box->text().toUtf8().size(), c.limit - 1);
    }
}

TEST_F(WindowTest, AboutEntryIsOfferedOnTheWindowAndOnF1) {
    openWindow();
    QAction* about = window->aboutAction();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->text(), "&About KorvaneFwUpdater...");
    EXPECT_EQ(about->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_TRUE(window->actions().contains(about));
    EXPECT_EQ(window->contextMenuPolicy(), Qt::ActionsContextMenu);
}

}  // namespace
}  // namespace korvane::test
