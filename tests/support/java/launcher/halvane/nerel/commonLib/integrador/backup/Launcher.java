package halvane.nerel.commonLib.integrador.backup;

/** Test stand-in for the application's Launcher: runs the named main class through the loader set. */
public class Launcher implements Runnable {
    private final String mainClass;
    private ClassLoader loader;

    public Launcher(String mainClass) {
        this.mainClass = mainClass;
        System.out.println("Launcher(" + mainClass + ") at " + System.currentTimeMillis());
    }

    public ClassLoader createClassloader() {
        return Launcher.class.getClassLoader();
    }

    public void setClassLoader(ClassLoader loader) {
        this.loader = loader;
    }

    public void run() {
        try {
            Class<?> c = Class.forName(mainClass, true, loader);
            c.getMethod("main", String[].class).invoke(null, (Object) new String[0]);
        } catch (Exception e) {
            e.printStackTrace();
        }
    }
}
