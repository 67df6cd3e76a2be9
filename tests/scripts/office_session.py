"""One headless LibreOffice process that scripts talk to over a named pipe.

Used by the corpus maker (to write real databases) and by the LibreOffice
judge (to open repaired files). Needs Debian's /usr/bin/python3, whose `uno`
module comes with python3-uno.

An office started here is ended here, by its own process id; a damaged file
may kill the office, so callers restart it when the bridge dies.
"""

import os
import shutil
import signal
import subprocess
import tempfile
import time
import uuid

import uno  # noqa: F401  (installs the import hook for com.sun.star)
import unohelper
from com.sun.star.beans import PropertyValue
from com.sun.star.task import XInteractionHandler


def soffice_path():
    """The soffice executable, or None when LibreOffice is not installed."""
    return shutil.which("soffice")


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


class RecordingInteractionHandler(unohelper.Base, XInteractionHandler):
    """Answers every question LibreOffice asks with Abort (or No) and remembers it.

    A repair prompt, a password question or an error box all pass through
    here; a file that opens cleanly asks nothing.
    """

    def __init__(self):
        self.requests = []

    def handle(self, request):
        continuations = list(request.getContinuations())
        try:
            what = _describe(request.getRequest())
        except Exception:
            # pyuno cannot hand over some request types; the answers on
            # offer still tell what kind of question it was.
            what = "a question"
        offered = [_interfaces(c) for c in continuations]
        self.requests.append("%s offering %s" % (what, ", ".join(
            "/".join(i for i in names if i.startswith("XInteraction")) or "?" for names in offered)))
        # Never approve: a repair prompt must not repair.
        for refusal in ("XInteractionAbort", "XInteractionDisapprove"):
            for names, cont in zip(offered, continuations):
                if refusal in names:
                    cont.select()
                    return


def _interfaces(continuation):
    """Short names of the interfaces a pyuno object says it supports."""
    text = repr(continuation)
    start = text.find("supportedInterfaces={")
    if start < 0:
        return []
    body = text[start + len("supportedInterfaces={"):text.find("}", start)]
    return [name.rsplit(".", 1)[-1] for name in body.split(",") if name]


def _describe(anything):
    try:
        name = anything.typeName
    except AttributeError:
        name = type(anything).__name__
    message = getattr(anything, "Message", "")
    return "%s %s" % (name, message)


class OfficeSession:
    """A private headless office: own profile, own pipe, own process."""

    def __init__(self, start_timeout=60.0):
        self.start_timeout = start_timeout
        self.process = None
        self.profile = None
        self.desktop = None
        self.context = None

    # -- life cycle ---------------------------------------------------------
    def start(self):
        exe = soffice_path()
        if exe is None:
            raise RuntimeError("soffice is not installed")
        self.profile = tempfile.mkdtemp(prefix="keelmend-office-")
        pipe = "keelmend_" + uuid.uuid4().hex
        args = [exe, "--headless", "--invisible", "--nologo", "--norestore",
                "--nodefault", "--nolockcheck",
                "--accept=pipe,name=%s;urp;" % pipe,
                "-env:UserInstallation=file://" + self.profile]
        self.process = subprocess.Popen(args, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL,
                                        start_new_session=True)
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext(
            "com.sun.star.bridge.UnoUrlResolver", local)
        url = "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe
        deadline = time.monotonic() + self.start_timeout
        while True:
            try:
                self.context = resolver.resolve(url)
                break
            except Exception:
                if self.process.poll() is not None or time.monotonic() > deadline:
                    self.stop()
                    raise RuntimeError("soffice did not come up")
                time.sleep(0.3)
        self.desktop = self.context.ServiceManager.createInstanceWithContext(
            "com.sun.star.frame.Desktop", self.context)
        return self

    def alive(self):
        if self.process is None or self.process.poll() is not None:
            return False
        try:
            self.desktop.getComponents()
            return True
        except Exception:
            return False

    def stop(self):
        if self.desktop is not None:
            try:
                self.desktop.terminate()
            except Exception:
                pass
        self.desktop = None
        self.context = None
        if self.process is not None:
            try:
                self.process.wait(timeout=15)
            except subprocess.TimeoutExpired:
                # Only the process group this session started.
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait(timeout=15)
            self.process = None
        if self.profile is not None:
            shutil.rmtree(self.profile, ignore_errors=True)
            self.profile = None

    def kill(self):
        """Ends the office at once (a hung or crashed one); stop() cleans up."""
        if self.process is not None and self.process.poll() is None:
            try:
                os.killpg(self.process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

    def restart(self):
        self.stop()
        return self.start()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    # -- services -------------------------------------------------------------
    def create(self, service):
        return self.context.ServiceManager.createInstanceWithContext(service, self.context)


def file_url(path):
    return unohelper.systemPathToFileUrl(os.path.abspath(path))


class OpenResult:
    """What happened when a file was opened as a user would open it."""

    def __init__(self):
        self.opened = False        # loaded as a database document
        self.connected = False     # its embedded database answered
        self.rows = {}             # table -> row count, or None when the query failed
        self.requests = []         # questions LibreOffice asked (repair prompt etc.)
        self.error = ""
        self.crashed = False       # the office died on the way

    def __repr__(self):
        return ("OpenResult(opened=%s connected=%s rows=%s requests=%s error=%r crashed=%s)"
                % (self.opened, self.connected, self.rows, self.requests, self.error,
                   self.crashed))


def open_and_count(session, path, tables):
    """Opens `path` hidden and silent, without package repair, and counts rows.

    `tables` names the tables to count. Never raises for a bad file: the
    outcome is in the result, including a dead office (crashed=True).
    """
    result = OpenResult()
    handler = RecordingInteractionHandler()
    document = None
    try:
        document = session.desktop.loadComponentFromURL(
            file_url(path), "_blank", 0,
            (prop("Hidden", True), prop("Silent", True), prop("RepairPackage", False),
             prop("InteractionHandler", handler)))
        if document is None:
            result.error = "load returned nothing"
        elif not document.supportsService("com.sun.star.sdb.OfficeDatabaseDocument"):
            result.error = "not a database document"
        else:
            result.opened = True
            connection = document.DataSource.getConnection("", "")
            result.connected = True
            try:
                for table in tables:
                    result.rows[table] = _count(connection, table)
            finally:
                connection.close()
    except Exception as exc:
        result.error = "%s: %s" % (type(exc).__name__, getattr(exc, "Message", exc))
    finally:
        if document is not None:
            try:
                document.close(True)
            except Exception:
                pass
    result.requests = list(handler.requests)
    if not session.alive():
        result.crashed = True
    return result


def _count(connection, table):
    try:
        rs = connection.createStatement().executeQuery('SELECT COUNT(*) FROM "%s"' % table)
        rs.next()
        return rs.getLong(1)
    except Exception:
        return None
