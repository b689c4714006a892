#pragma once
// The script entry of tables in the editor table: the CREATE text of a table (or of its copy
// under another schema and name), with its indexes when asked.
class TkdConnForm;
struct TObjectArgs;
class TScriptSink;

void TableScript(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink);
