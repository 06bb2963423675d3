// The real window, job and TCP channel updating the emulated adapter on 127.0.0.1.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <string>

#include "engine/update_job.h"
#include "sim/adapter/adapter_server.h"
#include "sim/adapter/firmware_image.h"
#include "sim/update_file_writer.h"
#include "ui/qt/history_dialog.h"
#include "ui/qt/updater_window.h"
#include "ui/qt/wifi_panel.h"

namespace korvane::test {
namespace {

class WindowEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::AdapterSettings settings;
        settings.model = sim::kModelZnb5413;
        sim::ServerOptions options;
        options.link = sim::ServerOptions::Link::Tcp;
        options.tcpAddress = "127.0.0.1";
        options.tcpPort = 0;
        adapter = std::make_unique<sim::AdapterServer>(settings, options);
        std::string error;
        ASSERT_TRUE(adapter->start(&error)) << error;

        sim::UpdateFileRecipe recipe;
        recipe.family = 2;
        recipe.productText = "Korvane OBD";
        recipe.modelName = "ZNB5413";
        recipe.versionText = "V2.2.3X";
        recipe.payload = sim::samplePayload(8192, 11);
        file = sim::makeUpdateFile(recipe);
        ASSERT_TRUE(file.ok()) << file.error;
        ASSERT_TRUE(folder.isValid());
        path = folder.filePath("update.hex");
        ASSERT_TRUE(sim::saveUpdateFile(path.toStdString(), file));

        // The window's update history goes to this test's own folder.
        qputenv("XDG_STATE_HOME", folder.path().toUtf8());
        qunsetenv("KORVANE_NO_HISTORY");
        window = std::make_unique<UpdaterWindow>(job, [] { return std::vector<std::string>{}; });
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->wifiRadio()->click();
        window->wifiPanel()->addressBox()->setText("127.0.0.1");
        window->wifiPanel()->portBox()->setText(QString::number(adapter->tcpPort()));
    }

    void TearDown() override {
        if (window) {
            EXPECT_TRUE(QTest::qWaitFor([this] { return !window->isBusy(); }, 60000));
            window.reset();
        }
        if (adapter) {
            adapter->stop();
        }
    }

    bool runAndWait(QPushButton* action) {
        action->click();
        return QTest::qWaitFor([this] { return !window->isBusy(); }, 60000);
    }

    QTemporaryDir folder;
    QString path;
    sim::GeneratedUpdateFile file;
    std::unique_ptr<sim::AdapterServer> adapter;
    UpdateJob job;
    std::unique_ptr<UpdaterWindow> window;
};

TEST_F(WindowEndToEndTest, TheOpenHistoryTableShowsTheWindowsOwnRunsAsTheyEnd) {
    ASSERT_NE(window->historyAction(), nullptr);
    window->historyAction()->trigger();
    ASSERT_NE(window->historyDialog(), nullptr);
    const QAbstractItemModel* rows = window->historyDialog()->table()->model();
    EXPECT_EQ(rows->rowCount(), 0);
    const QString port = "tcp|127.0.0.1:" + QString::number(adapter->tcpPort());

    ASSERT_TRUE(runAndWait(window->readButton()));
    ASSERT_EQ(rows->rowCount(), 1);
    EXPECT_EQ(rows->index(0, 1).data().toString(), port);
    EXPECT_EQ(rows->index(0, 6).data().toString(), "read finished");

    window->pathBox()->setText(path);
    ASSERT_TRUE(runAndWait(window->updateButton()));
    ASSERT_EQ(rows->rowCount(), 2);
    EXPECT_EQ(rows->index(0, 4).data().toString(), "update.hex");
    EXPECT_EQ(rows->index(0, 6).data().toString(), "finished");
}

TEST_F(WindowEndToEndTest, UpdateFromTheWifiPanelFinishesAndTheAdapterHoldsTheFile) {
    window->pathBox()->setText(path);
    ASSERT_TRUE(runAndWait(window->updateButton()));

    const QString output = window->outputBox()->toPlainText();
    EXPECT_TRUE(output.startsWith("Port is opened!\n")) << output.toStdString();
    EXPECT_TRUE(output.endsWith("File download finished!\n")) << output.toStdString();
    EXPECT_EQ(output.count("File download finished!"), 1);
    EXPECT_FALSE(output.contains("**Failed**")) << output.toStdString();
    EXPECT_EQ(window->progressBar()->value(), 100);
    EXPECT_TRUE(window->updateButton()->isEnabled());
    EXPECT_TRUE(window->readButton()->isEnabled());
    EXPECT_TRUE(window->wifiPanel()->addressBox()->isEnabled());
    EXPECT_FALSE(job.slotInUse(0));

    const std::string received = sim::payloadBytes(adapter->image());
    const std::string expected(file.image.begin(), file.image.end());
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected) << "the adapter holds other bytes than the file";
}

TEST_F(WindowEndToEndTest, ReadShowsTheAdaptersVersionsWithoutAPath) {
    ASSERT_TRUE(runAndWait(window->readButton()));
    const QString output = window->outputBox()->toPlainText();
    EXPECT_TRUE(output.startsWith("Port is opened!\n")) << output.toStdString();
    EXPECT_GT(output.count('\n'), 1) << output.toStdString();
    EXPECT_FALSE(output.contains("**Failed**")) << output.toStdString();
    EXPECT_TRUE(adapter->image().entries.empty());
}

}  // namespace
}  // namespace korvane::test
