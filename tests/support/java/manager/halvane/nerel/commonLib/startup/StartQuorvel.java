package halvane.nerel.commonLib.startup;

// Test stand-in for the Java application's status holder.
public class StartQuorvel {
    private static volatile int status;

    public static int getTomcatStatus() {
        return status;
    }

    public static void setStatus(int value) {
        status = value;
    }
}
