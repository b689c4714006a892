#pragma once
// A table of the test's schema, a query over it on a layer connection, the shared model, and
// the two data grids shown offscreen with the options of the data frame (plus multi-select).
#include "controls/kddbgrid.h"
#include "controls/kddbmodel.h"
#include "core/kdsub_options.h"
#include "core/msghook.h"
#include "platform/db/dbquery.h"
#include "support/testdb.h"
#include "support/testdb_layer.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QtTest/QtTest>

#include <memory>

class GridFixture : public testdb::SchemaTest {
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        FSavedUpdateToCommit = TkdOption::Global().UpdateToCommit;
        testdb::setLayerParams(FDb);
        FDb.setParam(QStringLiteral("CharacterSet"), QStringLiteral("UTF8"));
        FDb.open();
        FDb.execute(QStringLiteral("SET search_path TO %1, public").arg(schema()));
        exec(QStringLiteral("CREATE TABLE t (id int PRIMARY KEY, name text, note varchar(20), amount numeric(10,2))"));
        exec(QStringLiteral("INSERT INTO t SELECT i, 'n' || i, 'v' || i, i * 1.5 FROM generate_series(1, 30) i"));
    }
    void TearDown() override
    {
        FGridV.reset();
        FGridH.reset();
        FModel.reset();
        FQuery.reset();
        FDb.close();
        TkdOption::Global().UpdateToCommit = FSavedUpdateToCommit;
        testdb::SchemaTest::TearDown();
    }

    void Open(const QString &ASql, int AFetchRows = 1000)
    {
        FQuery = std::make_unique<db::Query>(&FDb);
        FQuery->setParamCreation(false);
        FQuery->setFetchRows(AFetchRows);
        FQuery->setSql(ASql);
        FQuery->open();
        FModel = std::make_unique<TkdDataSetModel>(FQuery.get());
    }

    template <class G>
    void Prepare(G &AGrid)
    {
        AGrid.SetOptions(dgDefaultOptions | dgBit(dgMultiSelect));
        AGrid.SetDataSource(FModel.get());
        AGrid.resize(640, 400);
        AGrid.show();
        QApplication::setActiveWindow(&AGrid);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&AGrid));
        AGrid.setFocus();
        QApplication::processEvents();
    }
    TkdDBGridV &GridV()
    {
        if (!FGridV) {
            FGridV = std::make_unique<TkdDBGridV>();
            Prepare(*FGridV);
        }
        return *FGridV;
    }
    TkdDBGridH &GridH()
    {
        if (!FGridH) {
            FGridH = std::make_unique<TkdDBGridH>();
            Prepare(*FGridH);
        }
        return *FGridH;
    }

public:
    // A click on a data cell (record, item) or on the indicator of a record.
    static void ClickCell(TkdDBGridBase &AGrid, int ARecord, int AItem, Qt::KeyboardModifiers AMods = Qt::NoModifier,
                          Qt::MouseButton AButton = Qt::LeftButton)
    {
        const bool v = qobject_cast<TkdDBGridV *>(&AGrid) != nullptr;
        const QRect r = v ? AGrid.GetCellRect(AItem + 1, ARecord + 1) : AGrid.GetCellRect(ARecord + 1, AItem + 1);
        ASSERT_TRUE(r.isValid()) << "cell not in view";
        Activate(AGrid);
        QTest::mouseClick(AGrid.viewport(), AButton, AMods, r.center() - AGrid.viewport()->pos());
        QApplication::processEvents();
    }
    static void ClickIndicator(TkdDBGridBase &AGrid, int ARecord, Qt::KeyboardModifiers AMods = Qt::NoModifier)
    {
        const bool v = qobject_cast<TkdDBGridV *>(&AGrid) != nullptr;
        QHeaderView *header = v ? AGrid.verticalHeader() : AGrid.horizontalHeader();
        const int pos = header->sectionViewportPosition(ARecord) + header->sectionSize(ARecord) / 2;
        const QPoint p = v ? QPoint(header->width() / 2, pos) : QPoint(pos, header->height() / 2);
        Activate(AGrid);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, AMods, p);
        QApplication::processEvents();
    }
    // Makes the grid's window the active one; the focus stays where it is inside it.
    static void Activate(QWidget &AGrid)
    {
        if (QApplication::activeWindow() != AGrid.window()) {
            QApplication::setActiveWindow(AGrid.window());
            QApplication::processEvents();
        }
    }
    // Moves the focus to another window (the user leaves the grid).
    static void Leave(QWidget &AOther)
    {
        AOther.show();
        QApplication::setActiveWindow(&AOther);
        AOther.setFocus();
        QApplication::processEvents();
    }
    static void Key(int AKey, Qt::KeyboardModifiers AMods = Qt::NoModifier)
    {
        QWidget *target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, Qt::Key(AKey), AMods);
        QApplication::processEvents();
    }
    // The selected records as record indexes, in order.
    std::vector<int> Selected(TkdDBGridBase &AGrid)
    {
        std::vector<int> out;
        for (const auto &mark : AGrid.SelectedRecords().List()) {
            for (int r = 0; r < FQuery->fetchedCount(); ++r)
                if (FQuery->bookmarkAt(r).id == mark.id)
                    out.push_back(r);
        }
        return out;
    }
protected:
    // A value seen from a second connection (what is committed).
    QString Committed(const QString &ASql) { return scalar(ASql); }

    db::Connection FDb;
    std::unique_ptr<db::Query> FQuery;
    std::unique_ptr<TkdDataSetModel> FModel;
    std::unique_ptr<TkdDBGridV> FGridV;
    std::unique_ptr<TkdDBGridH> FGridH;
    bool FSavedUpdateToCommit = false;
};
