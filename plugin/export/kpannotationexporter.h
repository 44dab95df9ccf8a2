#pragma once

// Export of annotated pictures, for every source that holds boards: a
// whiteboard (its board), an image source (its pages) and a slideshow (its
// pictures, in the order first shown). The source's property sheet gets a
// folder ("kp_export_folder") and a button ("kp_export"); pressing it writes
// one PNG per picture, with its drawings at the picture's own size, and a PDF
// handout into a new subfolder of that folder (see KPExportWriter).
//
// Threads: the button is pressed on a host's interface thread. The pictures a
// source holds are listed on the graphics thread, where the sources change
// them; each board is then copied under its own lock and everything else
// (decoding the picture files, composing, writing) runs on a worker thread,
// so rendering never waits for a file. Decoding and encoding run at the
// lowest priority; the board copies do not, since the graphics thread waits
// for a board's lock. At most two boards' copies (each with its copy widened
// for print, when the handout shrinks it) and one picture are held at a
// time. The state of a source's last
// export is in its status record.

#include <obs.h>

#include <QString>

class KPAnnotationExporter
{
public:
    // Adds the folder, the handout's title, layout and notes, and the button;
    // source may be null (a type's sheet).
    static void addProperties(obs_properties_t *properties, obs_source_t *source);
    // Adds "kp_export_state" ("running", "done", "failed") and
    // "kp_export_message" once the source has been exported.
    static void addStatus(obs_source_t *source, obs_data_t *status);
    // Starts an export into the source's "kp_export_folder"; false when one is
    // still running or the folder is not set.
    static bool start(obs_source_t *source);
    // Cancels every export and waits until each has let go of its sources.
    // The module calls it as it unloads, which libobs does inside
    // obs_shutdown before it destroys the sources that are left.
    static void shutdown();
    // Exports may start again: the module was loaded (again).
    static void reopen();

    struct Job;

private:
    static bool onClicked(obs_properties_t *properties, obs_property_t *property, void *source);
    static void collect(void *job);
    static void collectSource(Job *job, obs_source_t *source);
    static void run(Job *job);
    static void finish(obs_source_t *source, bool succeeded, const QString &message);
    static void finishJob(Job *job, bool succeeded, const QString &message);
    static bool setRunning(obs_source_t *source);
    static void readHandoutSettings(Job *job, obs_data_t *settings);
    static void onDestroyed(void *data, calldata_t *calldata);
};
