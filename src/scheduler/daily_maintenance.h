#pragma once

namespace kb6 {

class Database;
class RunLog;

// The fixed clean-up statements at the end of the one-day run, then one
// information entry. Single statements fail silently.
void DailyMaintenance(Database& db, RunLog& log);

}  // namespace kb6
