package halvane.nerel.commonLib.integrador.backup;

/**
 * Compile-time view of the application's own Launcher: only the calls LauncherControl makes.
 * The real class ships with the application; this one is never embedded or installed.
 */
public class Launcher implements Runnable {
    public Launcher(String mainClass) {
    }

    public ClassLoader createClassloader() {
        return null;
    }

    public void setClassLoader(ClassLoader loader) {
    }

    public void run() {
    }
}
