""""Rename with Quarrytide…" in Nautilus's menu of the selected items."""

import subprocess

import gi

gi.require_version("Nautilus", "4.0" if "4.0" in gi.Repository.get_default().enumerate_versions("Nautilus") else "3.0")
from gi.repository import GObject, Nautilus  # noqa: E402


class QuarrytideMenu(GObject.GObject, Nautilus.MenuProvider):
    """One item for any selection: the program lists what it is given."""

    def _rename(self, _item, files):
        # local paths as the file system has them; Quarrytide takes a window
        # already open, or opens one
        paths = [f.get_location().get_path() for f in files]
        subprocess.Popen(["quarrytide", "--", *[p for p in paths if p]])

    def get_file_items(self, *args):
        # Nautilus 43 on passes the files alone, earlier ones the window first
        files = args[-1]
        if not files:
            return []
        item = Nautilus.MenuItem(
            name="Quarrytide::RenameWith",
            label="Rename with Quarrytide…",
            tip="Rename the selected items with Quarrytide",
        )
        item.connect("activate", self._rename, files)
        return [item]
