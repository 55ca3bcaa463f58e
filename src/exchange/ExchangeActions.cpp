#include "exchange/ExchangeActions.h"

#include "exchange/ExchangeSummary.h"
#include "exchange/ResultsExport.h"
#include "exchange/TrackDataImport.h"
#include "shell/UiServices.h"

#include <QFileInfo>

namespace {

const char* const confirmText = "This operation will clear all existing race data.\n Do you wish to proceed?\n";
const char* const trackDataFilter = "VEXO Track Data files (*.csv)";
const char* const resultsFilter = "VEXO Results Data files (*.csv)";
const char* const proposedResultsName = "something.csv";

// The file dialog and the line loop. False when a pending edit could not be
// stored: the pages then stay as they are, edit included, rather than
// trying the same post again.
bool importChosenFile(QWidget* parent, Database& database, Query& query,
                      const std::function<void()>& endPendingEdits)
{
    UiServices& ui = UiServices::current();
    const QString path = ui.openFileName(parent, QString::fromLatin1(trackDataFilter));
    if (path.isEmpty())
        return true;
    // A row still in editing is addressed by an identity the import is about
    // to empty; it is stored now, or the import does not start.
    if (endPendingEdits) {
        try {
            endPendingEdits();
        } catch (const Exception& e) {
            ui.showError(parent, e.message());
            return false;
        }
    }
    const QString file = QFileInfo(path).fileName();
    try {
        const TrackDataCounts counts = ImportTrackData(database, query, path);
        ui.showNotice(parent, ExchangeSummary::imported(counts, file));
    } catch (const ETrackDataLine& e) {
        ui.showError(parent, e.message());
        ui.showNotice(parent, ExchangeSummary::importStopped(e, file));
    }
    return true;
}

} // namespace

void importTrackDataAction(QWidget* parent, Database& database, Query& query,
                           const std::function<void()>& refreshPages,
                           const std::function<void()>& endPendingEdits)
{
    if (!UiServices::current().confirm(parent, QString::fromLatin1(confirmText), UiServices::Buttons::YesNo))
        return;
    if (!importChosenFile(parent, database, query, endPendingEdits))
        return;
    if (refreshPages)
        refreshPages();
}

void exportResultsAction(QWidget* parent, Query& query, const std::function<void()>& endPendingEdits)
{
    UiServices& ui = UiServices::current();
    const QString path =
        ui.saveFileName(parent, QString::fromLatin1(resultsFilter), QString::fromLatin1(proposedResultsName));
    if (path.isEmpty())
        return;
    // A number confirmed in a cell and not yet posted belongs in the file.
    if (endPendingEdits) {
        try {
            endPendingEdits();
        } catch (const Exception& e) {
            ui.showError(parent, e.message());
            return;
        }
    }
    try {
        const ResultsWritten written = ExportResults(query, path);
        ui.showNotice(parent, ExchangeSummary::exported(written, QFileInfo(path).fileName()));
    } catch (const Exception& e) {
        ui.showError(parent, QStringLiteral("Failed to save results.\n") + e.message());
    } catch (const std::exception& e) {
        ui.showError(parent, QStringLiteral("Failed to save results.\n") + QString::fromUtf8(e.what()));
    }
}
